# The vendor's public key, built into the program: platform::VendorPublicKey() reads the point
# from a header generated into the build directory.
#
# VENDOR_PUBLIC_KEY names the vendor's PEM public key (P-256; a path relative to the source tree is
# taken from there). Left empty, the build uses a development key pair that it makes once under
# <source>/build/keys/ and that every build directory shares; tools/fixtures/package/make-package
# signs with its private half by default. No key file is ever part of the source tree.
set(VENDOR_PUBLIC_KEY "" CACHE FILEPATH "PEM public key (P-256) that package signatures are checked against; empty: the development key under build/keys")

find_program(OPENSSL_PROGRAM openssl REQUIRED)

# The private half of the key built in, when this build knows it (the development key): the
# signature tests sign with it to check the point built into the program.
set(VENDOR_SIGNING_KEY "")
if(VENDOR_PUBLIC_KEY)
  get_filename_component(vendor_key_pem "${VENDOR_PUBLIC_KEY}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
  if(NOT EXISTS "${vendor_key_pem}")
    message(FATAL_ERROR "VENDOR_PUBLIC_KEY: no such file: ${vendor_key_pem}")
  endif()
else()
  set(keys_dir "${PROJECT_SOURCE_DIR}/build/keys")
  set(vendor_key_pem "${keys_dir}/vendor-dev.pub.pem")
  set(VENDOR_SIGNING_KEY "${keys_dir}/vendor-dev.key.pem")
  file(MAKE_DIRECTORY "${keys_dir}")
  # Build directories may be configured at the same time: one of them makes the pair.
  file(LOCK "${keys_dir}/.lock" GUARD FILE)
  if(NOT EXISTS "${vendor_key_pem}" OR NOT EXISTS "${VENDOR_SIGNING_KEY}")
    message(STATUS "Making the development signing key pair in ${keys_dir}")
    execute_process(COMMAND "${OPENSSL_PROGRAM}" ecparam -name prime256v1 -genkey -noout -out "${keys_dir}/new.key.pem"
                    COMMAND_ERROR_IS_FATAL ANY)
    file(CHMOD "${keys_dir}/new.key.pem" PERMISSIONS OWNER_READ OWNER_WRITE)
    execute_process(COMMAND "${OPENSSL_PROGRAM}" ec -in "${keys_dir}/new.key.pem" -pubout -out "${keys_dir}/new.pub.pem"
                    ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
    # Both halves appear together or not at all.
    file(RENAME "${keys_dir}/new.key.pem" "${VENDOR_SIGNING_KEY}")
    file(RENAME "${keys_dir}/new.pub.pem" "${vendor_key_pem}")
  endif()
  file(LOCK "${keys_dir}/.lock" RELEASE)
endif()

set(VENDOR_KEY_INCLUDE_DIR "${CMAKE_BINARY_DIR}/generated")
add_custom_command(
  OUTPUT "${VENDOR_KEY_INCLUDE_DIR}/vendor_public_key.h"
  COMMAND "${CMAKE_COMMAND}" -DOPENSSL=${OPENSSL_PROGRAM} -DPEM=${vendor_key_pem}
          -DOUT=${VENDOR_KEY_INCLUDE_DIR}/vendor_public_key.h -P "${PROJECT_SOURCE_DIR}/cmake/vendor_key_header.cmake"
  DEPENDS "${vendor_key_pem}" "${PROJECT_SOURCE_DIR}/cmake/vendor_key_header.cmake"
  COMMENT "Building the vendor's public key into the program"
  VERBATIM)
add_custom_target(vendor_public_key DEPENDS "${VENDOR_KEY_INCLUDE_DIR}/vendor_public_key.h")
