# HALVIO_VENDOR_PUBLIC_KEY: one Ed25519 public key in standard base64 (32 bytes make 43 characters and
# one "="), or several separated by commas while the vendor changes keys.
function(halvio_check_vendor_key keys)
    string(REPLACE "," ";" _keys "${keys}")
    foreach(key IN LISTS _keys)
        string(LENGTH "${key}" _length)
        if(NOT _length EQUAL 44 OR NOT key MATCHES "^[A-Za-z0-9+/]+=$")
            message(FATAL_ERROR "HALVIO_VENDOR_PUBLIC_KEY must hold Ed25519 public keys in base64 (44 characters "
                "each, as 'update-service keygen' prints them, separated by commas), not '${key}'")
        endif()
    endforeach()
endfunction()
