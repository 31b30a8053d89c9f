#include "PackageGridModel.h"

#include "PackageTable.h"
#include "Pictures.h"
#include "UiText.h"

namespace halvio {

PackageGridModel::PackageGridModel(PackageTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table) {
    m_table.setChangeListener([this] { refresh(); });
    refresh();
}

PackageGridModel::~PackageGridModel() {
    m_table.setChangeListener(nullptr);
}

int PackageGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PackageGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PackageGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const ShownRow& row = m_rows[static_cast<size_t>(index.row())];
    const auto number = [](const auto& value) { return value ? QString::number(*value) : QString(); };
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case Description:
            return qtextFromCp1252(row.description);
        case Dates:
            return qtextFromCp1252(row.dates);
        case Taille:
            return number(row.taille);
        case Etat:
            return qtextFromCp1252(row.etat);
        case Pc:
            return number(row.pc);
        default:
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole) {
        const bool numeric = index.column() == Taille || index.column() == Pc;
        return QVariant::fromValue(Qt::AlignVCenter | (numeric ? Qt::AlignRight : Qt::AlignLeft));
    }
    return {};
}

QVariant PackageGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (role != Qt::DisplayRole)
            return {};
        switch (section) {
        case Description:
            return QStringLiteral("Description");
        case Dates:
            return QStringLiteral("Mise à jour le");
        case Taille:
            return QStringLiteral("Taille");
        case Etat:
            return QStringLiteral("Statut");
        case Pc:
            return QStringLiteral("%");
        default:
            return {};
        }
    }
    // The indicator column: a marker on the current row, no row numbers.
    if (role == Qt::DisplayRole)
        return QString();
    if (role == Qt::DecorationRole && section == m_currentRow)
        return pictures::currentRowMarker();
    return {};
}

Qt::ItemFlags PackageGridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

PackageGridModel::ShownRow PackageGridModel::shownRow(size_t index) const {
    const PackageRow& row = m_table.row(index);
    return {row.DESCRIPTION, row.DATES, row.TAILLE, row.etat, row.pc};
}

void PackageGridModel::refresh() {
    const size_t count = m_table.rowCount();
    if (count < m_rows.size()) {
        // tmem never loses rows during a run; a shorter table is a new one.
        beginResetModel();
        m_rows.clear();
        for (size_t i = 0; i < count; ++i)
            m_rows.push_back(shownRow(i));
        endResetModel();
    } else {
        for (size_t i = 0; i < m_rows.size(); ++i) {
            ShownRow now = shownRow(i);
            if (now == m_rows[i])
                continue;
            m_rows[i] = std::move(now);
            const int r = static_cast<int>(i);
            emit dataChanged(index(r, 0), index(r, ColumnCount - 1), {Qt::DisplayRole});
        }
        if (count > m_rows.size()) {
            beginInsertRows({}, static_cast<int>(m_rows.size()), static_cast<int>(count) - 1);
            for (size_t i = m_rows.size(); i < count; ++i)
                m_rows.push_back(shownRow(i));
            endInsertRows();
        }
    }

    const int current = m_table.eof() ? -1 : static_cast<int>(m_table.currentIndex());
    if (current == m_currentRow)
        return;
    const int before = m_currentRow;
    m_currentRow = current;
    for (int row : {before, current})
        if (row >= 0 && row < rowCount())
            emit headerDataChanged(Qt::Vertical, row, row);
    emit currentRowChanged(current);
}

} // namespace halvio
