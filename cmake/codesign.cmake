# Code signing of Install.exe (Windows build). Given a PKCS#12 file with the vendor's code-signing
# certificate and key, scripts/build win signs Install.exe with Authenticode (SHA-256) after each
# build through scripts/lib/codesign.sh; the password comes from the environment
# (CODESIGN_PASSWORD), never from the cache. Empty: Install.exe stays unsigned.
set(CODESIGN_PFX "" CACHE FILEPATH "PKCS#12 file with the code-signing certificate for Install.exe (password in CODESIGN_PASSWORD)")
if(CODESIGN_PFX AND NOT EXISTS "${CODESIGN_PFX}")
  message(FATAL_ERROR "CODESIGN_PFX: no such file: ${CODESIGN_PFX}")
endif()
