<#
.SYNOPSIS
  Prints what hwid.exe prints on this Windows machine, worked out independently from WMI.

.DESCRIPTION
  For support staff: tells what a customer's identifier should be without running hwid.exe, and
  why. Takes the same command line as hwid.exe and writes the same text, without a line break:

    identifier.ps1            the serial number of volume C: as a signed decimal number
    identifier.ps1 oldtrial   the machine identifier in the legacy layout
    identifier.ps1 WORD       the machine identifier in the current layout (any other word)

  The identifier is the serial of C: as unsigned decimal, then "010", then the sorted MAC
  addresses of the chosen adapters with every character written as its decimal character code,
  each address followed by "1310" (CR LF); the current layout puts a tab before each address.

  Which adapters count: when WMI lists exactly one MAC address, that one. With several, only the
  adapters that own a hardware resource (an interrupt, device memory or an I/O port range); when
  none owns one, all of them. -Verbose shows the addresses and each adapter's resource classes.

  Runs in Windows PowerShell 5.1 and PowerShell 7; needs no administrator rights.

.EXAMPLE
  powershell -ExecutionPolicy Bypass -File identifier.ps1 x -Verbose
#>
[CmdletBinding()]
param([Parameter(ValueFromRemainingArguments = $true)][string[]]$Arguments)

# The texts hwid.exe sends to WMI, word for word.
$AllAddressesQuery = 'select * from Win32_NetworkAdapterConfiguration WHERE MACAddress<>null'
$IndexesQuery = 'select * from Win32_NetworkAdapterConfiguration where MACAddress<>null'
function Get-AssociatedClassesQuery([string]$Index) {
  "associators of {Win32_NetworkAdapter.DeviceID='$Index'} WHERE ClassDefsOnly"
}
function Get-AdapterAddressQuery([string]$Index) {
  "select * from win32_networkadapter where DeviceID='$Index'"
}
$ResourceClassMarkers = 'win32_irqresource', 'win32_devicememoryaddress', 'win32_portresource'

# The objects a query returns; a query WMI refuses counts as one that returns nothing.
function Invoke-Wql([string]$Query) {
  try {
    @(Get-CimInstance -Namespace root/cimv2 -Query $Query -ErrorAction Stop)
  } catch {
    Write-Verbose "query failed: $Query ($_)"
    @()
  }
}

# One property of every object a query returns: the non-empty values as text, tab-joined.
function Get-PropertyText([string]$Query, [string]$Property) {
  $values = @(foreach ($object in @(Invoke-Wql $Query)) {
    $value = $object.$Property
    if ($null -ne $value -and "$value" -ne '') { "$value" }
  })
  $values -join "`t"
}

# The names of the classes associated with one adapter, tab-joined.
function Get-ClassNames([string]$Query) {
  @(Invoke-Wql $Query | ForEach-Object { $_.CimSystemProperties.ClassName }) -join "`t"
}

# The adapter selection: a single address as it is; else the addresses of the adapters that own
# a hardware resource; else every address.
function Get-AdapterAddressText {
  $all = Get-PropertyText $AllAddressesQuery 'MACAddress'
  if ($all -ne '' -and -not $all.Contains("`t")) {
    Write-Verbose "one address: $all"
    return $all
  }
  $indexes = @((Get-PropertyText $IndexesQuery 'Index') -split "[`t`r`n]" | Where-Object { $_ -ne '' })
  $physical = @(foreach ($index in $indexes) {
    $classes = (Get-ClassNames (Get-AssociatedClassesQuery $index)).ToLowerInvariant()
    Write-Verbose "adapter $index, associated classes: $classes"
    if (@($ResourceClassMarkers | Where-Object { $classes.Contains($_) }).Count -gt 0) {
      $address = (Get-PropertyText (Get-AdapterAddressQuery $index) 'MACAddress').Replace("`t", '')
      if ($address -ne '') { $address }
    }
  })
  if ($physical.Count -gt 0) {
    Write-Verbose "adapters owning a hardware resource: $($physical -join ', ')"
    return $physical -join "`t"
  }
  Write-Verbose "no adapter owns a hardware resource; all addresses: $all"
  $all
}

# Lines of the address text: tabs, CR, LF and CR LF all end a line; no empty last line.
function Split-Lines([string]$Text) {
  $lines = [Collections.Generic.List[string]]($Text.Replace("`t", "`n") -split "`r`n|`r|`n")
  if ($lines[$lines.Count - 1] -eq '') { $lines.RemoveAt($lines.Count - 1) }
  , $lines.ToArray()
}

# hwid.exe sorts with its own quicksort comparing by CompareStringA, case-insensitively, under
# the user's locale. WMI's MAC addresses all have the form XX:XX:XX:XX:XX:XX, colons at the same
# places, so two of them first differ at a hexadecimal digit; the locale orders digits before
# letters and letters alphabetically, as the ordinal order of upper case does. So the ordinal
# case-insensitive sort gives the same order; only addresses equal but for letter case could
# come out in another order, and WMI reports upper case only.
function Sort-Lines([string[]]$Lines) {
  [Array]::Sort($Lines, [StringComparer]::OrdinalIgnoreCase)
  , $Lines
}

# Every byte of the text in the system's ANSI code page (hwid.exe converts WMI's text to it;
# encoding 0 is that code page in both PowerShells), as the decimal value of the byte read as a
# signed 8-bit number: "0" is 48, ":" 58, byte 0xC4 -60.
function ConvertTo-CharacterCodes([string]$Text) {
  $codes = @(foreach ($byte in [Text.Encoding]::GetEncoding(0).GetBytes($Text)) {
    if ($byte -lt 128) { "$byte" } else { "$($byte - 256)" }
  })
  $codes -join ''
}

# The serial number of volume C:, or $null when it cannot be read. WMI gives it as hexadecimal.
function Get-VolumeSerial {
  $disk = @(Invoke-Wql "select * from Win32_LogicalDisk where DeviceID='C:'")
  if ($disk.Count -eq 0 -or -not $disk[0].VolumeSerialNumber) { return $null }
  [Convert]::ToUInt32($disk[0].VolumeSerialNumber, 16)
}

function Get-Identifier([bool]$Legacy) {
  $serial = Get-VolumeSerial
  $text = if ($null -eq $serial) { '0' } else { $serial.ToString([Globalization.CultureInfo]::InvariantCulture) }
  $text += '010'
  foreach ($line in Sort-Lines (Split-Lines (Get-AdapterAddressText))) {
    if (-not $Legacy) { $text += "`t" }
    $text += (ConvertTo-CharacterCodes $line) + '1310'
  }
  $text
}

if ($null -eq $Arguments -or $Arguments.Count -eq 0) {
  # The bare serial is printed signed, as C's "%d" prints the 32-bit number.
  $serial = Get-VolumeSerial
  $signed = if ($null -eq $serial) { 0 } else { [BitConverter]::ToInt32([BitConverter]::GetBytes($serial), 0) }
  $output = $signed.ToString([Globalization.CultureInfo]::InvariantCulture)
} else {
  # Only the first argument counts, and only the exact word selects the legacy layout.
  $output = Get-Identifier ($Arguments[0] -ceq 'oldtrial')
}
[Console]::Out.Write($output)
