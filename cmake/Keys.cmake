# Build secrets. Each is a cache variable with a development default, so a release build
# overrides them on the command line (-DVEL_KEY_apiSalt=...) and no secret lives in the tree.
# The RSA key pair of the VPN password is made once per build folder: the private half goes
# into the application, the public half to the local stand-in service.

set(VEL_KEYS_DIR "${CMAKE_BINARY_DIR}/keys")
file(MAKE_DIRECTORY "${VEL_KEYS_DIR}")

find_program(OPENSSL_PROGRAM openssl REQUIRED)
set(VEL_RSA_PRIVATE_PEM "${VEL_KEYS_DIR}/vpn-password-private.pem")
set(VEL_RSA_PUBLIC_PEM "${VEL_KEYS_DIR}/vpn-password-public.pem")
set(VEL_RSA_PRIVATE_DER "${VEL_KEYS_DIR}/vpn-password-private.der")
if(NOT EXISTS "${VEL_RSA_PRIVATE_DER}")
  execute_process(COMMAND "${OPENSSL_PROGRAM}" genrsa -traditional -out "${VEL_RSA_PRIVATE_PEM}" 1024
    RESULT_VARIABLE rc ERROR_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "openssl could not make the development RSA key")
  endif()
  execute_process(COMMAND "${OPENSSL_PROGRAM}" rsa -in "${VEL_RSA_PRIVATE_PEM}" -pubout -out "${VEL_RSA_PUBLIC_PEM}"
    RESULT_VARIABLE rc ERROR_QUIET)
  execute_process(COMMAND "${OPENSSL_PROGRAM}" rsa -in "${VEL_RSA_PRIVATE_PEM}" -traditional -outform DER -out "${VEL_RSA_PRIVATE_DER}"
    RESULT_VARIABLE rc2 ERROR_QUIET)
  if(NOT rc EQUAL 0 OR NOT rc2 EQUAL 0)
    message(FATAL_ERROR "openssl could not export the development RSA key")
  endif()
endif()
execute_process(COMMAND "${OPENSSL_PROGRAM}" base64 -A -in "${VEL_RSA_PRIVATE_DER}"
  OUTPUT_VARIABLE VEL_RSA_PRIVATE_BASE64 OUTPUT_STRIP_TRAILING_WHITESPACE)

set(VEL_KEY_apiSalt "veltamorine-development-salt" CACHE STRING "Salt of the Token digest and the member-area link")
set(VEL_KEY_domainsPrivateKey "0123456789abcdef0123456789abcdef" CACHE STRING "AES key of the domain list (16 or 32 characters)")
set(VEL_KEY_domainsIV "fedcba9876543210" CACHE STRING "AES IV of the domain list")
set(VEL_KEY_aesGcmKey "9f3c1ad07e5b2c6840fa17d3b95e0c2a6d4f81b07c3e952a1fd6480be37ca519" CACHE STRING "AES-256-GCM key, 64 hex characters")
set(VEL_KEY_aesGcmIV "5E0A93C1D7F24B68A1C3E5079B2D4F61" CACHE STRING "AES-GCM IV, 32 hex characters")
set(VEL_KEY_rsaPrivateKey "${VEL_RSA_PRIVATE_BASE64}")

set(VEL_KEY_NAMES apiSalt domainsPrivateKey domainsIV aesGcmKey aesGcmIV rsaPrivateKey)
set(VEL_KEYS_ENTRIES "")
foreach(name IN LISTS VEL_KEY_NAMES)
  string(APPEND VEL_KEYS_ENTRIES "    {\"${name}\", \"${VEL_KEY_${name}}\"},\n")
endforeach()
configure_file("${CMAKE_SOURCE_DIR}/cmake/KeysTable.h.in" "${CMAKE_BINARY_DIR}/generated/KeysTable.h" @ONLY)
