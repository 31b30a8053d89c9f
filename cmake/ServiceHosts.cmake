# The update service's hosts and the vendor's short name are fixed when the program is built and
# never read at run time. The local profile (the default) points every host at loopback; a release
# build must be given the vendor's own values.
set(HALVIO_PROFILE "local" CACHE STRING "Service host profile: local or release")
set_property(CACHE HALVIO_PROFILE PROPERTY STRINGS local release)

set(_halvio_host_vars HALVIO_OFFICE_SERVER HALVIO_INTERNAL_ADDRESS HALVIO_SECOND_PUBLIC_ADDRESS HALVIO_PUBLIC_WEB_HOST)
if(HALVIO_PROFILE STREQUAL "local")
    set(HALVIO_OFFICE_SERVER "localhost:18080" CACHE STRING "Office server host (report exchange and packages, first)")
    set(HALVIO_INTERNAL_ADDRESS "127.0.0.2:18080" CACHE STRING "Internal address (report exchange and packages, second)")
    set(HALVIO_SECOND_PUBLIC_ADDRESS "127.0.0.3:18080" CACHE STRING "Second public address (report exchange, third)")
    set(HALVIO_PUBLIC_WEB_HOST "localhost:18081" CACHE STRING "Public web host (packages without direct connection)")
    set(HALVIO_VENDOR_SHORT_NAME "Vantorix" CACHE STRING "Vendor's short company name shown in the log")
elseif(HALVIO_PROFILE STREQUAL "release")
    foreach(_var IN LISTS _halvio_host_vars)
        if(NOT DEFINED ${_var} OR "${${_var}}" STREQUAL "")
            message(FATAL_ERROR "The release profile needs ${_var}: pass -D${_var}=<host> at configure time")
        endif()
    endforeach()
    if(NOT DEFINED HALVIO_VENDOR_SHORT_NAME OR "${HALVIO_VENDOR_SHORT_NAME}" STREQUAL "")
        set(HALVIO_VENDOR_SHORT_NAME "Vantorix")
    endif()
else()
    message(FATAL_ERROR "HALVIO_PROFILE must be local or release, not '${HALVIO_PROFILE}'")
endif()

configure_file(${CMAKE_SOURCE_DIR}/common/ServiceHosts.h.in ${CMAKE_BINARY_DIR}/generated/ServiceHosts.h @ONLY)
message(STATUS "Service hosts (${HALVIO_PROFILE}): ${HALVIO_OFFICE_SERVER}, ${HALVIO_INTERNAL_ADDRESS}, ${HALVIO_SECOND_PUBLIC_ADDRESS}, ${HALVIO_PUBLIC_WEB_HOST}")

# The vendor's public key (Ed25519, base64, as 'update-service keygen' prints it). Empty: the
# updater accepts the service's replies and packages unsigned, its requests exactly as they always
# were. Set: every reply must be signed by that key for the nonce of its request, and every package
# file must have the length and SHA-256 the signed reply gives. Several keys separated by commas are
# each accepted: the updater that carries a new key while the old one still signs. Any profile may set it.
set(HALVIO_VENDOR_PUBLIC_KEY "" CACHE STRING "Vendor's Ed25519 public key(s) in base64; empty: unsigned updates")
if(NOT HALVIO_VENDOR_PUBLIC_KEY STREQUAL "")
    include(${CMAKE_CURRENT_LIST_DIR}/VendorKeyCheck.cmake)
    halvio_check_vendor_key("${HALVIO_VENDOR_PUBLIC_KEY}")
    message(STATUS "Updates signed by the vendor key ${HALVIO_VENDOR_PUBLIC_KEY}")
else()
    message(STATUS "Updates unsigned (no HALVIO_VENDOR_PUBLIC_KEY)")
endif()
configure_file(${CMAKE_SOURCE_DIR}/exchange/VendorKey.cpp.in ${CMAKE_BINARY_DIR}/generated/VendorKey.cpp @ONLY)
