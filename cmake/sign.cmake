# Authenticode signatures for the Windows executables, DLLs and .msi
# files, made with osslsigncode when a code-signing certificate is named
# in the environment; without one nothing is signed.
#   VXSROM_SIGN_PKCS12         a PKCS#12 file holding certificate and key, or
#   VXSROM_SIGN_CERT, _KEY     the certificate (PEM or DER) and its key
#   VXSROM_SIGN_PASSWORD_FILE  the password of the PKCS#12 file or key
#   VXSROM_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping service
# A time stamp keeps a signature valid after the certificate expires.

# Signs FILES in place, describing them as NAME with the project's URL.
function(vxsrom_sign)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME;URL" "FILES")
  if(NOT "$ENV{VXSROM_SIGN_PKCS12}" STREQUAL "")
    set(key -pkcs12 "$ENV{VXSROM_SIGN_PKCS12}")
  elseif(NOT "$ENV{VXSROM_SIGN_CERT}" STREQUAL "" AND
         NOT "$ENV{VXSROM_SIGN_KEY}" STREQUAL "")
    set(key -certs "$ENV{VXSROM_SIGN_CERT}" -key "$ENV{VXSROM_SIGN_KEY}")
  elseif(NOT "$ENV{VXSROM_SIGN_CERT}$ENV{VXSROM_SIGN_KEY}" STREQUAL "")
    # Half a configuration must not pass for "unsigned on purpose".
    message(FATAL_ERROR "signing: VXSROM_SIGN_CERT and VXSROM_SIGN_KEY go together")
  else()
    return()
  endif()
  if(NOT "$ENV{VXSROM_SIGN_PASSWORD_FILE}" STREQUAL "")
    list(APPEND key -readpass "$ENV{VXSROM_SIGN_PASSWORD_FILE}")
  endif()
  if(NOT "$ENV{VXSROM_SIGN_TIMESTAMP_URL}" STREQUAL "")
    list(APPEND key -ts "$ENV{VXSROM_SIGN_TIMESTAMP_URL}")
  endif()
  find_program(VXSROM_OSSLSIGNCODE osslsigncode)
  if(NOT VXSROM_OSSLSIGNCODE)
    message(FATAL_ERROR "signing: osslsigncode not found (apt-get install osslsigncode)")
  endif()
  foreach(file ${arg_FILES})
    file(REMOVE ${file}.signed)
    execute_process(
      COMMAND ${VXSROM_OSSLSIGNCODE} sign ${key} -h sha256 -n ${arg_NAME}
              -i ${arg_URL} -in ${file} -out ${file}.signed
      RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "signing ${file} failed:\n${output}")
    endif()
    file(RENAME ${file}.signed ${file})
    message(STATUS "Signed: ${file}")
  endforeach()
endfunction()
