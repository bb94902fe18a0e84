# Tests of the OpenSSL binding and the SSL context.
#
# The loader tests run against stand-ins for OpenSSL's DLLs, built here from
# the binding's own entry lists; each variant sits in a folder of its own
# below the test program, which finds no DLL of either name beside itself.
set(CX_STANDIN_DIR ${CMAKE_BINARY_DIR}/bin/openssl-standins)

# cx_openssl_standin(TARGET LIBEAY|SSLEAY VARIANT [RC file] [OMIT entries...])
function(cx_openssl_standin target library variant)
  cmake_parse_arguments(S "" "RC" "OMIT" ${ARGN})
  set(header ${CMAKE_CURRENT_SOURCE_DIR}/Calyx${library}.h)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  file(READ ${header} text)
  string(REGEX MATCHALL "\n    X\\([A-Za-z0-9_]+," entries "${text}")
  set(def "LIBRARY ${library}32.DLL\nEXPORTS\n")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^\n    X\\(([A-Za-z0-9_]+),$" "\\1" name "${entry}")
    if(NOT name IN_LIST S_OMIT)
      string(APPEND def "  ${name}\n")
    endif()
  endforeach()
  file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}.def CONTENT "${def}")
  add_library(${target} SHARED tests/OpenSslStandIn.cpp ${CMAKE_CURRENT_BINARY_DIR}/${target}.def
              ${S_RC})
  target_compile_definitions(${target} PRIVATE CX_STANDIN_${library})
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/..)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${library}32 SUFFIX ".DLL"
                        RUNTIME_OUTPUT_DIRECTORY ${CX_STANDIN_DIR}/${variant})
endfunction()

cx_openssl_standin(standin_libeay LIBEAY complete RC tests/StandInLibeay.rc)
cx_openssl_standin(standin_ssleay SSLEAY complete RC tests/StandInSsleay.rc)
cx_openssl_standin(standin_ssleay_no_ctx_new SSLEAY no-ctx-new OMIT SSL_CTX_new)
cx_openssl_standin(standin_libeay_no_bio_new LIBEAY no-bio-new OMIT BIO_new)
cx_openssl_standin(standin_libeay_no_ssleay LIBEAY no-ssleay OMIT SSLeay)
cx_openssl_standin(standin_libeay_no_pkey_free LIBEAY no-pkey-free OMIT X509_PKEY_free)

quel_add_test(NAME gatecfg_openssl_binding_tests
  SOURCES tests/OpenSslBindingTests.cpp tests/FileMaskTests.cpp
  LIBS gatecfg_net)
set_target_properties(gatecfg_openssl_binding_tests PROPERTIES
                      RUNTIME_OUTPUT_DIRECTORY ${CX_STANDIN_DIR})
add_dependencies(gatecfg_openssl_binding_tests standin_libeay standin_ssleay
                 standin_ssleay_no_ctx_new standin_libeay_no_bio_new standin_libeay_no_ssleay
                 standin_libeay_no_pkey_free)

# The context tests run against the genuine OpenSSL 1.0.2n DLLs that
# scripts/setup.sh places in bin/, with keys and certificates made here by
# Debian's openssl (never committed).
set(CX_TEST_CERTS ${CMAKE_BINARY_DIR}/bin/ssl-test-certs)
add_custom_command(OUTPUT ${CX_TEST_CERTS}/server.expect
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/make-ssl-test-certs.sh ${CX_TEST_CERTS}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/make-ssl-test-certs.sh
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/make-name-test-certs.py
  COMMENT "Making the SSL test certificates")
add_custom_target(gatecfg_ssl_test_certs DEPENDS ${CX_TEST_CERTS}/server.expect)

quel_add_test(NAME gatecfg_ssl_context_tests
  SOURCES tests/SslContextTests.cpp tests/X509Tests.cpp tests/SslCallbackTests.cpp
          tests/OpenSslGenuineFixture.cpp
  LIBS gatecfg_net)
add_dependencies(gatecfg_ssl_context_tests gatecfg_ssl_test_certs)

# A test that starts TLS peers through the launcher, with the made certificates.
function(cx_ssl_peer_test target)
  target_compile_definitions(${target} PRIVATE
    CX_SSL_PEER_LAUNCHER="${CMAKE_CURRENT_SOURCE_DIR}/tests/ssl-peer.py"
    CX_SSL_PEER_WORK="${CMAKE_BINARY_DIR}/ssl-peers"
    CX_SLOW_READER="${CMAKE_CURRENT_SOURCE_DIR}/tests/slow-reader.py"
    CX_SSL_TEST_CERTS="${CX_TEST_CERTS}")
  add_dependencies(${target} gatecfg_ssl_test_certs)
endfunction()

# The SSL level of the sockets: our client and server in one process, and
# each against Debian's openssl command as the independent peer, started
# through tests/ssl-peer.py, which also starts the Python peer
# tests/slow-reader.py.
quel_add_test(NAME gatecfg_ssl_socket_tests
  SOURCES tests/SslSocketFixture.cpp tests/SslXSocketTests.cpp tests/SslPeerTests.cpp
          tests/SlowReaderCloseTests.cpp tests/ForwardSecrecyTests.cpp
          tests/OpenSslPeer.cpp tests/OpenSslHeapWatch.cpp
          tests/XSocketFixture.cpp tests/OptionRecorder.cpp tests/OpenSslGenuineFixture.cpp
  LIBS gatecfg_net
  TIMEOUT 480)
cx_ssl_peer_test(gatecfg_ssl_socket_tests)

# Our SSL client streaming against openssl's and GnuTLS's servers (both
# directions at once, renegotiations with data in flight, the end of a
# session), through tests/ssl-peer.py.
quel_add_test(NAME gatecfg_ssl_stream_tests
  SOURCES tests/SslStreamTests.cpp tests/SslSocketFixture.cpp tests/OpenSslPeer.cpp
          tests/XSocketFixture.cpp tests/OpenSslGenuineFixture.cpp
  LIBS gatecfg_net
  TIMEOUT 900)
cx_ssl_peer_test(gatecfg_ssl_stream_tests)
