# The installer under Wine, in a prefix of its own (sourced by run-all.sh; dist/ holds the
# installers): msiexec /i, the object created from the installed DLL, the installer's registry
# rows the same as the DLL's own registration writes, then msiexec /x and nothing left.
KELMO_KEYS=('HKCR\CLSID\{07B2D7B0-6EA9-4CA9-85C3-98C9CC261DB8}' 'HKCR\Kelmo.CKelmo'
    'HKCR\Interface\{C2768D4D-3032-4C4E-A35A-E65DECE1249B}' 'HKCR\TypeLib\{EA9E2B8F-776C-41A4-BF8C-59F9ADB5C57D}')
in_install_prefix() { WINEPREFIX="$BUILD/installprefix" "$@"; }
created() { in_install_prefix wine cscript //nologo "$(winpath "$OUT/install.js")" | tr -d '\r' | grep -qx 'created 0 C:\\'; }

# Every Kelmo key of the native registry view as one text, without the 32-bit DLL's type-library
# entry (which the 64-bit installer's 32-bit half writes).
export_kelmo_keys() { # export_kelmo_keys <file>
    local key
    for key in "${KELMO_KEYS[@]}"; do
        in_install_prefix wine reg export "$key" "$(winpath "$OUT/part.reg")" /y >/dev/null 2>&1 &&
            iconv -f UTF-16LE -t UTF-8 "$OUT/part.reg" | tr -d '\r' | grep -v 'Windows Registry Editor' |
            awk '/^\[.*\\0\\win32\]$/ {skip=1; next} /^\[/ {skip=0} !skip'
    done >"$1"
}

# The prefix's wineserver runs for the whole test: a wine command racing the previous one's
# server shutdown lost a reg export now and then.
test_installer_installs_registers_as_the_dll_does_and_uninstalls_everything() {
    in_install_prefix wineserver -k 2>/dev/null
    rm -rf "$BUILD/installprefix" && in_install_prefix wine wineboot -i >/dev/null 2>&1
    in_install_prefix wineserver -w && in_install_prefix wineserver -p
    install_round_trip
    local status=$?
    in_install_prefix wineserver -k
    return $status
}

install_round_trip() { # traced: the log's last command is the one that failed
    local - arch=x64 dll='C:\Program Files\Kelmo\x64\Kelmo.dll' msi key view
    set -x
    [ "$WINBUILD" = "$BUILD/win" ] && arch=x86 dll='C:\Program Files\Kelmo\Kelmo.dll'
    msi=$(winpath "$(ls "$ROOT"/dist/Kelmo-*-$arch.msi | head -1)")
    echo 'try { var k = new ActiveXObject("Kelmo.CKelmo"); k.Speed = 101; WScript.Echo("created " + k.AppNum + " " + k.WinDrv); } catch (e) {}' >"$OUT/install.js"
    in_install_prefix wine msiexec /i "$msi" /qn && created && export_kelmo_keys "$OUT/installed.reg" &&
        in_install_prefix wine regsvr32 /s /u "$dll" && in_install_prefix wine regsvr32 /s "$dll" &&
        export_kelmo_keys "$OUT/registered.reg" && [ -s "$OUT/installed.reg" ] &&
        diff "$OUT/installed.reg" "$OUT/registered.reg" && in_install_prefix wine msiexec /x "$msi" /qn || return 1
    for key in "${KELMO_KEYS[@]}"; do for view in /reg:64 /reg:32; do
        ! in_install_prefix wine reg query "$key" $view || return 1
    done; done
    ! ls -d "$BUILD/installprefix/drive_c/Program Files/Kelmo" && ! find "$BUILD/installprefix/drive_c" -iname 'KelmoR*.lnk' | grep . && ! created
}
