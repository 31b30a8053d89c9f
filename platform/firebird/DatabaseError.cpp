#include "DatabaseError.h"

#include <ibase.h>

#include <algorithm>
#include <initializer_list>

namespace halvio::platform {

namespace {

bool hasAnyCode(const std::vector<long>& codes, std::initializer_list<ISC_STATUS> wanted) {
    return std::any_of(codes.begin(), codes.end(), [&](long code) {
        return std::find(wanted.begin(), wanted.end(), static_cast<ISC_STATUS>(code)) != wanted.end();
    });
}

} // namespace

bool DatabaseError::isLockConflict() const {
    return hasAnyCode(m_codes, {isc_lock_conflict, isc_lock_timeout, isc_deadlock, isc_update_conflict});
}

bool DatabaseError::isDuplicateKey() const {
    return hasAnyCode(m_codes, {isc_unique_key_violation, isc_no_dup});
}

} // namespace halvio::platform
