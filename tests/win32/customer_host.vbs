' A script host as customers write theirs: its connections are classes that answer crearrs with
' an ADODB.Recordset of their own making and ejecutar with a count. It shows the dialog twice while
' the shell presses F11: one copy of C-7, then three (C-7_2 taken), and checks the statements each
' showing sent and the marks left. Wine's cscript exits 0 even when a script fails: the last line says.
Option Explicit
Dim failures, main, conn, numero, value, shell, want, showing, copy, marked
failures = 0
Sub Check(ok, what)
  If Not ok Then WScript.Echo "FAIL: " & what
  If Not ok Then failures = failures + 1
End Sub
Class Connection
  Public sql
  Public Statements
  ' Wine's ADO wants a size for each field and the rows added before they are filled.
  Public Function crearrs(rs)
    Statements = Statements & sql & "|"
    Set rs = CreateObject("ADODB.Recordset")
    rs.Fields.Append "interno", 200, 40
    rs.Open
    If InStr(sql, "'C-7_2'") > 0 Then rs.AddNew
    If Not rs.EOF Then rs.Fields("interno").Value = "C-7_2"
    crearrs = Not rs.EOF
  End Function
  ' An insert is noted by its table and the new number, its first quoted text.
  Public Function ejecutar()
    value = InStr(sql, "'")
    Statements = Statements & Left(sql, 20) & " " & Mid(sql, value + 1, InStr(value + 1, sql, "'") - value - 1) & "|"
    ejecutar = 1
  End Function
End Class
Class DataAccessManager
  Public Function getMidFormatbyEntity(entity, text, start, length)
    getMidFormatbyEntity = "substr(" & text & ", " & start & ", " & length & ")"
  End Function
End Class
Function Copied(number)
  Copied = "select interno from caratula where interno = '" & number & "'|insert into facturas " & _
           number & "|insert into caratula " & number & "|insert into subitems " & number & "|"
End Function

Set main = CreateObject("oQUARDELINO.cMAIN")
main.pLenMaxInterno = "25"
Check CreateObject("oQUARDELINO.cMAIN").pLenMaxInterno = 25, "a second cMAIN reads pLenMaxInterno 25"
numero = "C-7"
main.Numero_Interno = numero
On Error Resume Next
value = main.Numero_Interno
Check Err.Number = 438, "reading Numero_Interno fails with 438, got " & Err.Number
Err.Clear
main.Bogus
Check Err.Number = 438, "an unknown member fails with 438, got " & Err.Number
On Error GoTo 0
Set conn = New Connection
main.setConexionAInternos conn
main.setConexionANcm conn
main.GetDataAccessManager New DataAccessManager
main.setFechaActualDeInternos "current_date"
want = Array(Copied("C-7"), Copied("C-7_1") & "select interno from caratula where interno = 'C-7_2'|" & Copied("C-7_3"))
For showing = 0 To 1
  conn.Statements = ""
  WScript.Echo "showing the dialog"
  main.Mostrar
  Check conn.Statements = want(showing), "showing " & showing & " sent " & conn.Statements
Next
Set shell = CreateObject("WScript.Shell")
For Each copy In Array("C-7", "C-7_1", "C-7_3")  ' a mark missing ends the script short of its last line
  marked = shell.RegRead("HKCU\Software\VB and VBA Program Settings\TRELVO\PROCESOS\" & copy)
  Check marked = "SI", "the mark of " & copy & " is '" & marked & "'"
Next
If failures = 0 Then WScript.Echo "customer_host: all checks passed"
If failures <> 0 Then WScript.Echo "customer_host: " & failures & " checks failed"
WScript.Quit failures
