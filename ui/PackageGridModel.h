#pragma once
// The rows of tmem as DBGrid2 shows them: five columns, texts converted from Windows-1252, and the
// current row of tmem as the row the grid highlights.

#include <QAbstractTableModel>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace halvio {

class PackageTable;

class PackageGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Description, Dates, Taille, Etat, Pc, ColumnCount };

    // Takes tmem's change listener for as long as the model lives; tmem must outlive the model.
    explicit PackageGridModel(PackageTable& table, QObject* parent = nullptr);
    ~PackageGridModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The row to highlight: tmem's current row, or -1 when none is current.
    int currentRow() const { return m_currentRow; }

    // Brings the model in line with tmem, signalling only rows whose shown values changed: tmem
    // reports every stored percentage of a download, most of which change nothing on screen.
    void refresh();

signals:
    void currentRowChanged(int row);

private:
    struct ShownRow {
        std::string description;
        std::string dates;
        std::optional<std::int32_t> taille;
        std::string etat;
        std::optional<std::int16_t> pc;
        bool operator==(const ShownRow&) const = default;
    };
    ShownRow shownRow(size_t index) const;

    PackageTable& m_table;
    std::vector<ShownRow> m_rows;
    int m_currentRow = -1;
};

} // namespace halvio
