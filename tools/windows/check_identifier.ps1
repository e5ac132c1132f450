<#
.SYNOPSIS
  Runs hwid.exe in its three modes and compares each output, byte for byte, with what
  identifier.ps1 works out from WMI on this machine.

.DESCRIPTION
  The modes are no argument, "oldtrial" and "x". hwid.exe must exit with 0 and print exactly
  identifier.ps1's text. On any difference both texts are printed (tabs shown as <TAB>) with
  hwid-inspect's report of the machine, and the script exits with 1.

.EXAMPLE
  pwsh -File tools/windows/check_identifier.ps1 -Hwid build/hwid.exe -Inspect build/inspect/hwid-inspect.exe
#>
#Requires -Version 7
param(
  [Parameter(Mandatory = $true)][string]$Hwid,
  [Parameter(Mandatory = $true)][string]$Inspect
)
$ErrorActionPreference = 'Stop'
$identifier = Join-Path $PSScriptRoot 'identifier.ps1'
$powershell = (Get-Process -Id $PID).Path

# The bytes a program writes to standard output, and its exit status.
function Invoke-Program([string]$File, [string[]]$Arguments) {
  $start = [Diagnostics.ProcessStartInfo]::new($File)
  foreach ($argument in $Arguments) { $start.ArgumentList.Add($argument) }
  $start.UseShellExecute = $false
  $start.RedirectStandardOutput = $true
  $process = [Diagnostics.Process]::Start($start)
  $bytes = [IO.MemoryStream]::new()
  $process.StandardOutput.BaseStream.CopyTo($bytes)
  $process.WaitForExit()
  [pscustomobject]@{ Bytes = $bytes.ToArray(); ExitCode = $process.ExitCode }
}

function Show-Text([byte[]]$Bytes) {
  [Text.Encoding]::Latin1.GetString($Bytes).Replace("`t", '<TAB>')
}

$failed = $false
foreach ($mode in @(@(), @('oldtrial'), @('x'))) {
  $name = if ($mode.Count) { "hwid.exe $($mode[0])" } else { 'hwid.exe' }
  $actual = Invoke-Program (Resolve-Path $Hwid).Path $mode
  $expected = Invoke-Program $powershell (@('-NoProfile', '-NonInteractive', '-ExecutionPolicy',
      'Bypass', '-File', $identifier) + $mode)
  $same = [Convert]::ToBase64String($actual.Bytes) -ceq [Convert]::ToBase64String($expected.Bytes)
  if ($same -and $actual.ExitCode -eq 0 -and $expected.ExitCode -eq 0) {
    Write-Output "same: $name -> $(Show-Text $actual.Bytes)"
    continue
  }
  $failed = $true
  Write-Output "DIFFERENT: $name (exit status $($actual.ExitCode))"
  Write-Output "  hwid.exe:       [$(Show-Text $actual.Bytes)]"
  Write-Output "  identifier.ps1: [$(Show-Text $expected.Bytes)] (exit status $($expected.ExitCode))"
}
if ($failed) {
  Write-Output 'hwid-inspect:'
  & (Resolve-Path $Inspect).Path
  & (Resolve-Path $Inspect).Path --json
  & $powershell -NoProfile -ExecutionPolicy Bypass -File $identifier x -Verbose
  exit 1
}
