# Writes a VendorKey.cpp for an updater built with a key other than the build's own, at build time:
#   cmake -DTEMPLATE=... -DOUTPUT=... -DPUBLIC_FILE=FILE -P VendorKeySource.cmake
#       the public key (base64, one line) read from FILE (the demo's key);
#   cmake -DTEMPLATE=... -DOUTPUT=... -DPRIVATE_FILE=FILE -DKEY_TOOL=update-service -P ...
#       the public key of the private key in FILE, which the key command makes first when it is
#       missing (the tests' key pair, never committed: it lives in the build folder).
if(DEFINED PRIVATE_FILE)
    get_filename_component(_folder "${PRIVATE_FILE}" DIRECTORY)
    file(MAKE_DIRECTORY "${_folder}")
    if(EXISTS "${PRIVATE_FILE}")
        set(_command public-key)
    else()
        set(_command keygen)
    endif()
    execute_process(COMMAND "${KEY_TOOL}" ${_command} --private "${PRIVATE_FILE}"
        OUTPUT_VARIABLE _key ERROR_VARIABLE _error RESULT_VARIABLE _result)
    if(NOT _result EQUAL 0)
        message(FATAL_ERROR "${KEY_TOOL} ${_command} failed: ${_error}")
    endif()
else()
    if(NOT EXISTS "${PUBLIC_FILE}")
        message(FATAL_ERROR "No public key at ${PUBLIC_FILE}: make the key pair first "
            "(update-service keygen) and write its public key there")
    endif()
    file(READ "${PUBLIC_FILE}" _key)
endif()
string(STRIP "${_key}" HALVIO_VENDOR_PUBLIC_KEY)
include(${CMAKE_CURRENT_LIST_DIR}/VendorKeyCheck.cmake)
halvio_check_vendor_key("${HALVIO_VENDOR_PUBLIC_KEY}")
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
