#pragma once
// tmem: the in-memory table of the packages to fetch, worked through in order by the transfer.
// Texts are Windows-1252 bytes, cut to their field's width when stored.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvio {

struct PackageRow {
    std::string NOM;         // 100
    std::string DESCRIPTION; // 100
    std::string DATES;       // 20
    std::optional<std::int32_t> TAILLE;
    std::string PAR; // 25, not used
    std::string INFO;
    std::string etat; // 20
    std::optional<std::int16_t> pc;
};

class PackageTable {
public:
    static constexpr size_t kNomWidth = 100;
    static constexpr size_t kDescriptionWidth = 100;
    static constexpr size_t kDatesWidth = 20;
    static constexpr size_t kParWidth = 25;
    static constexpr size_t kEtatWidth = 20;

    // Called after every change a grid must show: rows added, sorted or changed, current row moved.
    using ChangeListener = std::function<void()>;

    void open() { m_open = true; }
    bool isOpen() const { return m_open; }

    // Appends an empty row, makes it current and puts it into editing.
    void append();
    // Puts the current row into editing; fails past the last row.
    void edit();
    // Stores the row in editing and leaves editing; nothing happens when no row is in editing.
    void post();
    bool isEditing() const { return m_editing; }

    void first();
    void next();
    // Makes the row at index current (past the last row when index >= rowCount()).
    void moveTo(size_t index);
    // True when no row is current (past the last row, or the table is empty).
    bool eof() const { return m_current >= m_rows.size(); }
    // Index of the current row; equals rowCount() when past the last row.
    size_t currentIndex() const { return m_current; }
    size_t rowCount() const { return m_rows.size(); }
    const PackageRow& row(size_t index) const { return m_rows.at(index); }
    // The current row, for reading.
    const PackageRow& current() const;

    // Field setters act on the current row, which must be in editing.
    void setNom(std::string_view value);
    void setDescription(std::string_view value);
    void setDates(std::string_view value);
    void setTaille(std::int32_t value);
    void setEtat(std::string_view value);
    void setPc(std::int16_t value);

    // Sorts by NOM ascending, ignoring ASCII case; the current row becomes the first.
    void sortByNom();

    void setChangeListener(ChangeListener listener) { m_listener = std::move(listener); }

private:
    PackageRow& editableCurrent();
    void changed();

    std::vector<PackageRow> m_rows;
    size_t m_current = 0;
    bool m_editing = false;
    bool m_open = false;
    ChangeListener m_listener;
};

} // namespace halvio
