' A script host that creates oQUARDELINO.cMAIN late-bound and calls every member by name. The
' shell closes the dialog that Mostrar opens (ESC), after pressing F11 once: the run asks this
' script's own connection object, through its members, whether the new number exists.
' Wine's cscript exits 0 even when a script fails: the last line printed and the exit code say.
Option Explicit

Dim failures
failures = 0
Sub Check(ok, what)
  If Not ok Then
    WScript.Echo "FAIL: " & what
    failures = failures + 1
  End If
End Sub

' The host's connection object; it refuses every statement with an error of its own.
Class RefusingConnection
  Public sql
  Public Statements
  Public Function crearrs(rs)
    Statements = Statements & sql & "|"
    Err.Raise 1001, "HostConnection", "tabla bloqueada por otro usuario"
  End Function
  Public Function ejecutar()
    Statements = Statements & sql & "|"
    Err.Raise 1002, "HostConnection", "sin permiso de escritura"
  End Function
End Class

Dim main, other, conn, numero, fecha, value, dam
Set main = CreateObject("oQUARDELINO.cMAIN")
Set other = CreateObject("oQUARDELINO.cMAIN")

Check main.pLenMaxInterno = 0, "pLenMaxInterno starts at 0, got " & main.pLenMaxInterno
main.pLenMaxInterno = "25"
Check main.pLenMaxInterno = 25, "pLenMaxInterno = ""25"" is read back as 25"
Check other.pLenMaxInterno = 25, "a second instance sees the first one's length"
Check TypeName(main.pLenMaxInterno) = "Long", "pLenMaxInterno is a Long"

numero = "A-7"
main.Numero_Interno = numero
Check numero = "A-7", "Numero_Interno leaves the caller's text as it was"
On Error Resume Next
value = main.Numero_Interno
Check Err.Number = 438, "reading Numero_Interno fails with 438, got " & Err.Number
Err.Clear
On Error GoTo 0

fecha = "'2024-05-06'"
main.setFechaActualDeInternos fecha
Set conn = New RefusingConnection
main.setConexionAInternos conn
main.setConexionANcm conn

' No DataAccessManager.DAMMain is registered in this prefix: the call fails with the platform's text.
Set dam = conn
On Error Resume Next
main.GetDataAccessManager dam
Check Err.Number = 429, "GetDataAccessManager without DataAccessManager.DAMMain fails with 429, got " & Err.Number
Check Err.Description = "ActiveX component can't create object", "429's text, got " & Err.Description
Err.Clear
On Error GoTo 0

On Error Resume Next
main.Bogus
Check Err.Number = 438, "an unknown member fails with 438, got " & Err.Number
Err.Clear
On Error GoTo 0

WScript.Echo "showing the dialog"
main.Mostrar
Check conn.Statements = "select interno from caratula where interno = 'A-7'|", _
      "F11 asked the script's connection, got " & conn.Statements

If failures = 0 Then
  WScript.Echo "cmain_client: all checks passed"
  WScript.Quit 0
End If
WScript.Echo "cmain_client: " & failures & " checks failed"
WScript.Quit 1
