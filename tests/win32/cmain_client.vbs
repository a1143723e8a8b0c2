' A script host: creates oQUARDELINO.cMAIN late-bound and calls every member by name. The shell
' presses F11 in the dialog Mostrar shows, which asks this script's connection object whether the
' new number exists, and then ESC. Wine's cscript exits 0 even when a script fails: the last line says.
Option Explicit
Dim failures, main, conn, numero, fecha, value
failures = 0
Sub Check(ok, what)
  If Not ok Then WScript.Echo "FAIL: " & what
  If Not ok Then failures = failures + 1
End Sub
' The host's connection object: it refuses every query with an error of its own.
Class RefusingConnection
  Public sql
  Public Statements
  Public Function crearrs(rs)
    Statements = Statements & sql & "|"
    Err.Raise 1001, "HostConnection", "tabla bloqueada por otro usuario"
  End Function
End Class

Set main = CreateObject("oQUARDELINO.cMAIN")
Check main.pLenMaxInterno = 0, "pLenMaxInterno starts at 0, got " & main.pLenMaxInterno
main.pLenMaxInterno = "25"
Check main.pLenMaxInterno = 25, "pLenMaxInterno = ""25"" is read back as 25"
Check CreateObject("oQUARDELINO.cMAIN").pLenMaxInterno = 25, "a second instance shares the length"
numero = "A-7"
main.Numero_Interno = numero
Check numero = "A-7", "Numero_Interno leaves the caller's text as it was"
fecha = "'2024-05-06'"
main.setFechaActualDeInternos fecha
Set conn = New RefusingConnection
main.setConexionAInternos conn
main.setConexionANcm conn
On Error Resume Next
value = main.Numero_Interno
Check Err.Number = 438, "reading Numero_Interno fails with 438, got " & Err.Number
Err.Clear
main.Bogus
Check Err.Number = 438, "an unknown member fails with 438, got " & Err.Number
Err.Clear
' No DataAccessManager.DAMMain is registered in this prefix: the call fails with the platform's text.
main.GetDataAccessManager conn
Check Err.Number = 429, "GetDataAccessManager fails with 429, got " & Err.Number
Check Err.Description = "ActiveX component can't create object", "429's text: " & Err.Description
On Error GoTo 0

WScript.Echo "showing the dialog"
main.Mostrar
Check conn.Statements = "select interno from caratula where interno = 'A-7'|", _
      "F11 asked the script's connection, got " & conn.Statements
If failures = 0 Then WScript.Echo "cmain_client: all checks passed"
If failures <> 0 Then WScript.Echo "cmain_client: " & failures & " checks failed"
WScript.Quit failures
