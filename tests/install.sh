# The installer under Wine, in a prefix of its own: msiexec /i, the object created from the
# installed DLL by a script, the installer's registry rows compared with what the DLL's own
# registration writes, then msiexec /x and nothing left. Sourced by run-all.sh, whose
# environment (display, WINEARCH, the wine commands) it uses; dist/ holds the installers.
INSTALL_PREFIX="$BUILD/installprefix"
KELMO_KEYS=('HKCR\CLSID\{07B2D7B0-6EA9-4CA9-85C3-98C9CC261DB8}' 'HKCR\Kelmo.CKelmo'
    'HKCR\Interface\{C2768D4D-3032-4C4E-A35A-E65DECE1249B}' 'HKCR\TypeLib\{EA9E2B8F-776C-41A4-BF8C-59F9ADB5C57D}')

in_install_prefix() { WINEPREFIX="$INSTALL_PREFIX" "$@"; }

# Every Kelmo key of the native registry view, as one text; the 32-bit DLL's own type-library
# entry (written by the 64-bit installer's 32-bit half) left out.
export_kelmo_keys() { # export_kelmo_keys <file>
    local key part="$OUT/install-part.reg"
    : >"$1"
    for key in "${KELMO_KEYS[@]}"; do
        in_install_prefix wine reg export "$key" "$(winpath "$part")" /y >/dev/null 2>&1 || continue
        iconv -f UTF-16LE -t UTF-8 "$part" | tr -d '\r' | grep -v 'Windows Registry Editor' |
            awk '/^\[.*\\0\\win32\]$/ {skip=1; next} /^\[/ {skip=0} !skip' >>"$1"
    done
}

# The prefix's wineserver is kept running for the whole test: each wine command would otherwise
# race the previous one's server shutting down (a reg export then failed now and then).
test_installer_installs_registers_as_the_dll_does_and_uninstalls_everything() {
    in_install_prefix wineserver -k 2>/dev/null
    rm -rf "$INSTALL_PREFIX"
    in_install_prefix wine wineboot -i >/dev/null 2>&1
    in_install_prefix wineserver -w
    in_install_prefix wineserver -p
    install_round_trip
    local status=$?
    in_install_prefix wineserver -k
    return $status
}

install_round_trip() {
    local arch=x64 msi dll script="$OUT/install.js" installed="$OUT/installed.reg" registered="$OUT/registered.reg"
    [ "$WINBUILD" = "$BUILD/win" ] && arch=x86
    msi=$(winpath "$(ls "$ROOT"/dist/Kelmo-*-$arch.msi | head -1)")
    dll='C:\Program Files\Kelmo\x64\Kelmo.dll'
    [ $arch = x86 ] && dll='C:\Program Files\Kelmo\Kelmo.dll'
    in_install_prefix wine msiexec /i "$msi" /qn || { echo "msiexec /i failed" >&2; return 1; }
    printf '%s\n' 'try { var k = new ActiveXObject("Kelmo.CKelmo"); k.Speed = 101;' \
        'WScript.Echo("created " + k.AppNum + " " + k.WinDrv); } catch (e) { WScript.Echo("refused " + (e.number >>> 0).toString(16)); }' >"$script"
    in_install_prefix wine cscript //nologo "$(winpath "$script")" | tr -d '\r' | grep -qx 'created 0 C:\\' ||
        { echo "the installed object could not be created" >&2; return 1; }
    export_kelmo_keys "$installed"
    in_install_prefix wine regsvr32 /s /u "$dll" && in_install_prefix wine regsvr32 /s "$dll" || return 1
    export_kelmo_keys "$registered"
    diff "$installed" "$registered" >&2 || { echo "the installer's rows differ from the DLL's" >&2; return 1; }
    [ -s "$installed" ] || { echo "no keys exported" >&2; return 1; }
    in_install_prefix wine msiexec /x "$msi" /qn || { echo "msiexec /x failed" >&2; return 1; }
    local key view
    for key in "${KELMO_KEYS[@]}"; do for view in /reg:64 /reg:32; do
        ! in_install_prefix wine reg query "$key" $view >/dev/null 2>&1 || { echo "left behind: $key $view" >&2; return 1; }
    done; done
    ! ls -d "$INSTALL_PREFIX/drive_c/Program Files/Kelmo" >&2 2>/dev/null &&
        ! find "$INSTALL_PREFIX/drive_c" -iname 'KelmoR*.lnk' | grep . >&2 || { echo "the folder or shortcut is left" >&2; return 1; }
    in_install_prefix wine cscript //nologo "$(winpath "$script")" | tr -d '\r' | grep -q '^refused ' ||
        { echo "the object was still created after uninstalling" >&2; return 1; }
}
