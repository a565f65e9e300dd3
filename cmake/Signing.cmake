# Authenticode signing of setup.exe with osslsigncode, off unless a
# certificate is given:
#
#   SETUP_SIGN_PFX                     a PKCS#12 file holding certificate and key, or
#   SETUP_SIGN_CERT + SETUP_SIGN_KEY   the certificate (chain) and its private key;
#   SETUP_SIGN_PASSWORD_FILE           the password of the PFX or key (optional);
#   SETUP_SIGN_TIMESTAMP_URL           an RFC 3161 timestamp server (optional).
#
# setup_sign_after_build(<target>) signs the target's file in place after each
# link, with cmake/sign-setup.sh, the script the signing test runs too.
set(SETUP_SIGN_PFX "" CACHE FILEPATH "PKCS#12 file to sign setup.exe with")
set(SETUP_SIGN_CERT "" CACHE FILEPATH "Code-signing certificate (PEM or DER) to sign setup.exe with")
set(SETUP_SIGN_KEY "" CACHE FILEPATH "Private key of SETUP_SIGN_CERT")
set(SETUP_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the password of the PFX or the key")
set(SETUP_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 timestamp server for the signature")

set(SETUP_SIGN_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/sign-setup.sh)

function(setup_sign_after_build target)
  if(SETUP_SIGN_PFX AND (SETUP_SIGN_CERT OR SETUP_SIGN_KEY))
    message(FATAL_ERROR "Give SETUP_SIGN_PFX or SETUP_SIGN_CERT with SETUP_SIGN_KEY, not both")
  endif()
  if(SETUP_SIGN_PFX)
    set(args --pfx ${SETUP_SIGN_PFX})
  elseif(SETUP_SIGN_CERT AND SETUP_SIGN_KEY)
    set(args --cert ${SETUP_SIGN_CERT} --key ${SETUP_SIGN_KEY})
  elseif(SETUP_SIGN_CERT OR SETUP_SIGN_KEY)
    message(FATAL_ERROR "SETUP_SIGN_CERT and SETUP_SIGN_KEY go together")
  else()
    return()
  endif()
  if(SETUP_SIGN_PASSWORD_FILE)
    list(APPEND args --password-file ${SETUP_SIGN_PASSWORD_FILE})
  endif()
  if(SETUP_SIGN_TIMESTAMP_URL)
    list(APPEND args --timestamp ${SETUP_SIGN_TIMESTAMP_URL})
  endif()
  find_program(SETUP_OSSLSIGNCODE osslsigncode REQUIRED)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env OSSLSIGNCODE=${SETUP_OSSLSIGNCODE}
            sh ${SETUP_SIGN_SCRIPT} ${args} $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>
    COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
    VERBATIM)
  message(STATUS "${target} is signed after each link")
endfunction()
