# cmake -DOPENSSL=<openssl> -DOUT=<folder> -P MakeCertificates.cmake
# Makes two CAs, each with a server certificate for 127.0.0.1 and localhost (EC P-256).

file(MAKE_DIRECTORY "${OUT}")
file(WRITE "${OUT}/server.ext"
  "subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=critical,CA:FALSE\n"
  "keyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n")

function(run)
  execute_process(COMMAND "${OPENSSL}" ${ARGN} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "openssl ${ARGN} failed: ${err}")
  endif()
endfunction()

function(make_pair prefix ca_name)
  run(req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes
      -keyout "${OUT}/${prefix}ca-key.pem" -out "${OUT}/${prefix}ca.pem" -days 3650
      -subj "/CN=${ca_name}"
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign")
  run(req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes
      -keyout "${OUT}/${prefix}server-key.pem" -out "${OUT}/${prefix}server.csr" -subj "/CN=127.0.0.1")
  run(x509 -req -in "${OUT}/${prefix}server.csr" -CA "${OUT}/${prefix}ca.pem" -CAkey "${OUT}/${prefix}ca-key.pem"
      -CAcreateserial -CAserial "${OUT}/${prefix}ca.srl" -out "${OUT}/${prefix}server.pem" -days 825
      -extfile "${OUT}/server.ext")
  file(REMOVE "${OUT}/${prefix}server.csr")
endfunction()

make_pair("test-" "Veltamorine Test CA")
make_pair("untrusted-" "Untrusted Test CA")
# The names the code uses for the trusted pair.
file(RENAME "${OUT}/test-server.pem" "${OUT}/server.pem")
file(RENAME "${OUT}/test-server-key.pem" "${OUT}/server-key.pem")
