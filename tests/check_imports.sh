#!/usr/bin/env bash
# Install.exe must run on a clean Windows from the one file: it may import only DLLs that every
# Windows has. Fails, naming them, when it imports anything else (zlib1.dll, libstdc++-6.dll, ...).
exe=${1:?usage: check_imports.sh Install.exe}
allowed='^(advapi32|comctl32|gdi32|gdiplus|kernel32|msvcrt|ole32|oleaut32|shell32|shlwapi|user32|ws2_32|bcrypt|crypt32|comdlg32|winspool\.drv|version|uxtheme|winhttp|oleacc)(\.dll)?$'
imports=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z')
[[ -n $imports ]] || { echo "no imports read from $exe"; exit 1; }
bad=$(grep -vE "$allowed" <<<"$imports")
if [[ -n $bad ]]; then
  echo "Install.exe imports DLLs that are not part of Windows:"; echo "$bad"; exit 1
fi
echo "Install.exe imports only system DLLs: $(tr '\n' ' ' <<<"$imports")"
