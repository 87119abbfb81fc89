# Development code signing. A certificate chain (root, intermediate, signing leaf) is made once
# per build folder; vel_sign_executable() writes a detached CMS signature "<executable>.sig" after
# each link. The helper daemon trusts only the root made here and accepts clients whose signing
# chain equals its own. A release build points VEL_SIGNING_DIR at a folder holding its own
# root.pem, intermediate.pem, leaf.pem and leaf.key.
include_guard(GLOBAL)

find_program(OPENSSL_PROGRAM openssl REQUIRED)
set(VEL_SIGNING_DIR "${CMAKE_BINARY_DIR}/signing" CACHE PATH "Folder of the code-signing chain")
file(MAKE_DIRECTORY "${VEL_SIGNING_DIR}")

function(_vel_signing_run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "code-signing set-up failed: ${err}")
  endif()
endfunction()

# Makes <name>.key and <name>.pem in the signing folder, issued by <issuer> (or self-signed).
function(_vel_signing_cert name subject issuer extensions)
  set(dir "${VEL_SIGNING_DIR}")
  if(EXISTS "${dir}/${name}.pem")
    return()
  endif()
  file(WRITE "${dir}/${name}.ext" "${extensions}\n")
  _vel_signing_run("${OPENSSL_PROGRAM}" genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "${dir}/${name}.key")
  _vel_signing_run("${OPENSSL_PROGRAM}" req -new -key "${dir}/${name}.key" -subj "${subject}" -out "${dir}/${name}.csr")
  if(issuer STREQUAL "")
    set(signWith -signkey "${dir}/${name}.key")
  else()
    set(signWith -CA "${dir}/${issuer}.pem" -CAkey "${dir}/${issuer}.key" -CAcreateserial)
  endif()
  _vel_signing_run("${OPENSSL_PROGRAM}" x509 -req -in "${dir}/${name}.csr" ${signWith} -days 3650 -sha256
    -extfile "${dir}/${name}.ext" -extensions v3 -out "${dir}/${name}.pem")
endfunction()

_vel_signing_cert(root "/O=Veltamorine Development/CN=Veltamorine Development Root" ""
  "[v3]\nbasicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\nsubjectKeyIdentifier=hash")
_vel_signing_cert(intermediate "/O=Veltamorine Development/CN=Veltamorine Development Signing CA" root
  "[v3]\nbasicConstraints=critical,CA:TRUE,pathlen:0\nkeyUsage=critical,keyCertSign,cRLSign\nsubjectKeyIdentifier=hash\nauthorityKeyIdentifier=keyid")
_vel_signing_cert(leaf "/O=Veltamorine Development/OU=7QX2LM0PA9/CN=Veltamorine Development Code Signing" intermediate
  "[v3]\nbasicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\nsubjectKeyIdentifier=hash\nauthorityKeyIdentifier=keyid")

set(VEL_SIGNING_ROOT_PEM "${VEL_SIGNING_DIR}/root.pem" CACHE INTERNAL "")

# vel_sign_executable(<target>): after every link, writes $<TARGET_FILE>.sig, a detached DER
# CMS signature over the executable made with the signing leaf, carrying leaf and intermediate.
function(vel_sign_executable target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${OPENSSL_PROGRAM}" cms -sign -binary -md sha256 -outform DER
      -in "$<TARGET_FILE:${target}>"
      -signer "${VEL_SIGNING_DIR}/leaf.pem" -inkey "${VEL_SIGNING_DIR}/leaf.key"
      -certfile "${VEL_SIGNING_DIR}/intermediate.pem"
      -out "$<TARGET_FILE:${target}>.sig"
    COMMENT "Signing ${target}"
    VERBATIM)
endfunction()
