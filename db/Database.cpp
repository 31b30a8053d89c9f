#include "Database.h"

namespace halvio {

void Database::open() {
    if (isOpen())
        return;
    m_attachment.attach(m_name, "sysdba", m_password);
}

void Database::close() {
    m_attachment.detach();
}

} // namespace halvio
