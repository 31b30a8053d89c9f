#include "PackageTable.h"

#include "Fonction.h"

#include <algorithm>
#include <stdexcept>

namespace halvio {

namespace {
std::string cut(std::string_view value, size_t width) {
    return std::string(value.substr(0, width));
}
} // namespace

void PackageTable::append() {
    post();
    m_rows.emplace_back();
    m_current = m_rows.size() - 1;
    m_editing = true;
    changed();
}

void PackageTable::edit() {
    if (eof())
        throw std::runtime_error("tmem: no current row to edit");
    m_editing = true;
}

void PackageTable::post() {
    if (!m_editing)
        return;
    m_editing = false;
    changed();
}

void PackageTable::first() {
    post();
    m_current = 0;
    changed();
}

void PackageTable::next() {
    post();
    if (m_current < m_rows.size())
        ++m_current;
    changed();
}

void PackageTable::moveTo(size_t index) {
    post();
    m_current = std::min(index, m_rows.size());
    changed();
}

const PackageRow& PackageTable::current() const {
    if (eof())
        throw std::runtime_error("tmem: no current row");
    return m_rows[m_current];
}

PackageRow& PackageTable::editableCurrent() {
    if (!m_editing || eof())
        throw std::runtime_error("tmem: dataset not in edit or insert mode");
    return m_rows[m_current];
}

void PackageTable::setNom(std::string_view value) {
    editableCurrent().NOM = cut(value, kNomWidth);
    changed();
}

void PackageTable::setDescription(std::string_view value) {
    editableCurrent().DESCRIPTION = cut(value, kDescriptionWidth);
    changed();
}

void PackageTable::setDates(std::string_view value) {
    editableCurrent().DATES = cut(value, kDatesWidth);
    changed();
}

void PackageTable::setTaille(std::int32_t value) {
    editableCurrent().TAILLE = value;
    changed();
}

void PackageTable::setEtat(std::string_view value) {
    editableCurrent().etat = cut(value, kEtatWidth);
    changed();
}

void PackageTable::setPc(std::int16_t value) {
    editableCurrent().pc = value;
    changed();
}

void PackageTable::sortByNom() {
    post();
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const PackageRow& a, const PackageRow& b) {
        return upperAscii(a.NOM) < upperAscii(b.NOM);
    });
    m_current = 0;
    changed();
}

void PackageTable::changed() {
    if (m_listener)
        m_listener();
}

} // namespace halvio
