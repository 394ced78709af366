#include "TrackTableModel.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QSet>
#include <QStringList>

namespace tracklift {

namespace {

const TrackTableModel::ColumnInfo kColumns[TrackTableModel::ColumnCount] = {
    {"ID", TrackTableModel::ColumnType::Integer, 0},
    {"CheckBox", TrackTableModel::ColumnType::Integer, 0},
    {"Title", TrackTableModel::ColumnType::Text, 250},
    {"Album", TrackTableModel::ColumnType::Text, 250},
    {"Artist", TrackTableModel::ColumnType::Text, 250},
    {"Length", TrackTableModel::ColumnType::Text, 15},
    {"Type", TrackTableModel::ColumnType::Text, 10},
    {"PlayCount", TrackTableModel::ColumnType::Integer, 0},
    {"Rating", TrackTableModel::ColumnType::Text, 5},
    {"Quality", TrackTableModel::ColumnType::Text, 30},
    {"Year", TrackTableModel::ColumnType::Text, 10},
    {"TrackSize", TrackTableModel::ColumnType::Text, 15},
    {"FilePath", TrackTableModel::ColumnType::Text, 250},
};

quint64 cellKey(int row, int column)
{
    return static_cast<quint64>(static_cast<quint32>(row)) << 8 | static_cast<quint32>(column);
}

// "3:05" -> 185; "1.5 MB" -> bytes; "128 kbs" -> 128; "1999" -> 1999: the number a
// figure column's text shows, for rows given no exact one.
qint64 numberFromText(int column, const QString& text)
{
    if (column == TrackTableModel::Length) {
        qint64 seconds = 0;
        for (const QString& part : text.split(QLatin1Char(':')))
            seconds = seconds * 60 + part.toLongLong();
        return seconds * 1000;
    } else if (column == TrackTableModel::TrackSize) {
        const QStringList parts = text.split(QLatin1Char(' '));
        if (parts.size() == 2) {
            QString number = parts[0];
            number.replace(QLatin1Char(','), QLatin1Char('.'));
            const double factor = parts[1] == QLatin1String("KB") ? 1024.0
                                  : parts[1] == QLatin1String("MB") ? 1048576.0
                                  : parts[1] == QLatin1String("GB") ? 1073741824.0 : 1.0;
            return static_cast<qint64>(number.toDouble() * factor);
        }
    } else if (column == TrackTableModel::Quality) {
        return text.section(QLatin1Char(' '), 0, 0).toLongLong();
    } else if (column == TrackTableModel::Year) {
        return text.toLongLong();  // no year sorts first
    } else if (column == TrackTableModel::Rating) {
        return text.count(QChar(0x2605)) * 20;  // the filled stars
    }
    return 0;
}

}  // namespace

const TrackTableModel::ColumnInfo& TrackTableModel::column(int column)
{
    return kColumns[column];
}

TrackTableModel::TrackTableModel(QObject* parent) : QAbstractTableModel(parent)
{
    for (int c = 0; c < ColumnCount; ++c)
        m_headers[c] = QLatin1String(kColumns[c].name);
}

void TrackTableModel::Row::setText(int column, const QString& text)
{
    // Texts are at most a few hundred characters, so every place fits 16 bits.
    const auto length = static_cast<std::uint16_t>(text.size());
    if (!(filled & 1u << column)) {
        textStart[column] = static_cast<std::uint16_t>(texts.size());
        texts.append(text);
        textLength[column] = length;
        return;
    }
    // A text replaced (rare): the string is laid out again, column by column.
    QString laidOut;
    laidOut.reserve(texts.size() - textLength[column] + length);
    for (int c = 0; c < ColumnCount; ++c) {
        if (!(filled & 1u << c))
            continue;
        const QStringView part = c == column ? QStringView(text) : textOf(c);
        textStart[c] = static_cast<std::uint16_t>(laidOut.size());
        textLength[c] = static_cast<std::uint16_t>(part.size());
        laidOut.append(part);
    }
    texts = std::move(laidOut);
}

int TrackTableModel::figureSlot(int column)
{
    for (std::size_t i = 0; i < kFigureColumns.size(); ++i)
        if (kFigureColumns[i] == column)
            return static_cast<int>(i);
    return -1;
}

void TrackTableModel::create()
{
    if (!m_bulk)
        beginResetModel();
    m_rows.clear();
    m_appearances.clear();
    m_tickedRowsOfId.clear();
    m_distinctIds = -1;
    if (m_ticks.count) {
        m_ticks = {};
        tickChanged();
    }
    m_current = -1;
    m_open = true;
    if (!m_bulk)
        endResetModel();
}

void TrackTableModel::beginBulkLoad()
{
    if (m_bulk)
        return;
    beginResetModel();
    m_bulk = true;
}

void TrackTableModel::endBulkLoad()
{
    if (!m_bulk)
        return;
    m_bulk = false;
    endResetModel();
}

int TrackTableModel::addNew()
{
    const int row = rows();
    if (!m_bulk)
        beginInsertRows({}, row, row);
    m_rows.emplace_back();
    m_distinctIds = -1;
    m_current = row;
    if (!m_bulk)
        endInsertRows();
    return row;
}

bool TrackTableModel::setField(int row, int column, const QVariant& value)
{
    if (row < 0 || row >= rows() || column < 0 || column >= ColumnCount)
        return false;
    Row& r = m_rows[static_cast<std::size_t>(row)];
    const ColumnInfo& info = kColumns[column];
    if (info.type == ColumnType::Integer) {
        bool ok = false;
        const qlonglong number = value.toLongLong(&ok);
        if (!ok || number < INT32_MIN || number > INT32_MAX)
            return false;
        const auto v = static_cast<std::int32_t>(number);
        if (column == CheckBox && (r.checkBox == 1) != (v == 1)) {
            countTick(r, v == 1);
        } else if (column == ID && r.id != v) {
            m_distinctIds = -1;
            if (r.checkBox == 1) {  // the tick moves to the new identifier
                countTick(r, false);
                r.id = v;
                countTick(r, true);
            }
        }
        (column == ID ? r.id : column == CheckBox ? r.checkBox : r.playCount) = v;
    } else {
        const QString text = value.toString();
        if (text.size() > info.maxLength)
            return false;
        r.setText(column, text);
    }
    r.filled = static_cast<std::uint16_t>(r.filled | 1u << column);
    if (!m_bulk) {
        const QModelIndex i = index(row, column);
        emit dataChanged(i, i);
    }
    return true;
}

QVariant TrackTableModel::value(int row, int column) const
{
    if (row < 0 || row >= rows() || column < 0 || column >= ColumnCount)
        return {};
    const Row& r = m_rows[static_cast<std::size_t>(row)];
    if (!(r.filled & 1u << column))
        return {};
    switch (column) {
    case ID: return r.id;
    case CheckBox: return r.checkBox;
    case PlayCount: return r.playCount;
    default: return r.textOf(column).toString();
    }
}

QString TrackTableModel::text(int row, int column) const
{
    const QVariant v = value(row, column);
    return v.isValid() ? v.toString() : QString();
}

void TrackTableModel::setSortNumber(int row, int column, qint64 number)
{
    const int slot = figureSlot(column);
    if (row < 0 || row >= rows() || slot < 0)
        return;
    Row& r = m_rows[static_cast<std::size_t>(row)];
    r.numbers[static_cast<std::size_t>(slot)] = number;
    r.numbered = static_cast<std::uint16_t>(r.numbered | 1u << column);
}

void TrackTableModel::countTick(const Row& row, bool ticked)
{
    if (ticked) {
        if (m_tickedRowsOfId[row.id]++ == 0) {
            ++m_ticks.count;
            m_ticks.bytes += rowBytes(row);
        }
    } else {
        const auto found = m_tickedRowsOfId.find(row.id);
        if (found == m_tickedRowsOfId.end())
            return;
        if (--*found == 0) {
            m_tickedRowsOfId.erase(found);
            --m_ticks.count;
            m_ticks.bytes -= rowBytes(row);
        }
    }
    tickChanged();
}

void TrackTableModel::setAllTicked(bool ticked)
{
    if (m_rows.empty())
        return;
    m_tickedRowsOfId.clear();
    m_ticks = {};
    for (Row& r : m_rows) {
        r.checkBox = ticked ? 1 : 0;
        r.filled = static_cast<std::uint16_t>(r.filled | 1u << CheckBox);
        if (ticked && m_tickedRowsOfId[r.id]++ == 0) {
            ++m_ticks.count;
            m_ticks.bytes += rowBytes(r);
        }
    }
    if (!m_bulk)
        emit dataChanged(index(0, CheckBox), index(rows() - 1, CheckBox), {Qt::CheckStateRole, Qt::DisplayRole, ValueRole});
    tickChanged();
}

int TrackTableModel::distinctIds() const
{
    if (m_distinctIds < 0) {
        QSet<std::int32_t> ids;
        ids.reserve(rows());
        for (const Row& r : m_rows)
            ids.insert(r.id);
        m_distinctIds = static_cast<int>(ids.size());
    }
    return m_distinctIds;
}

qint64 TrackTableModel::sortNumber(const Row& row, int column) const
{
    if (row.numbered & 1u << column)
        return row.numbers[static_cast<std::size_t>(figureSlot(column))];
    return row.filled & 1u << column ? numberFromText(column, row.textOf(column).toString()) : 0;
}

qint64 TrackTableModel::rowBytes(const Row& row) const
{
    return sortNumber(row, TrackSize);
}

bool TrackTableModel::lessThan(int a, int b, int column) const
{
    if (a < 0 || b < 0 || a >= rows() || b >= rows() || column < 0 || column >= ColumnCount)
        return false;
    const Row& ra = m_rows[static_cast<std::size_t>(a)];
    const Row& rb = m_rows[static_cast<std::size_t>(b)];
    switch (column) {
    case ID: return ra.id < rb.id;
    case CheckBox: return ra.checkBox < rb.checkBox;
    case PlayCount: return ra.playCount < rb.playCount;
    default: break;
    }
    if (figureSlot(column) >= 0)
        return sortNumber(ra, column) < sortNumber(rb, column);
    return ra.textOf(column).compare(rb.textOf(column), Qt::CaseInsensitive) < 0;
}

void TrackTableModel::tickChanged()
{
    if (m_tickBatch > 0) {
        m_ticksPending = true;
        return;
    }
    emit ticksChanged();
}

void TrackTableModel::endTickBatch()
{
    if (m_tickBatch > 0 && --m_tickBatch == 0 && m_ticksPending) {
        m_ticksPending = false;
        emit ticksChanged();
    }
}

void TrackTableModel::setColumnCheckable(int column, bool checkable)
{
    if (column < 0 || column >= ColumnCount)
        return;
    m_checkable[column] = checkable;
    if (rows())
        emit dataChanged(index(0, column), index(rows() - 1, column));
}

void TrackTableModel::setHeaderText(int column, const QString& text)
{
    if (column < 0 || column >= ColumnCount)
        return;
    m_headers[column] = text;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void TrackTableModel::setAppearance(int row, int column, const QString& name)
{
    m_appearances.insert(cellKey(row, column), name);
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i, {Qt::BackgroundRole, Qt::FontRole, AppearanceRole});
}

void TrackTableModel::clearAppearances()
{
    if (m_appearances.isEmpty())
        return;
    m_appearances.clear();
    if (rows())
        emit dataChanged(index(0, 0), index(rows() - 1, ColumnCount - 1), {Qt::BackgroundRole, Qt::FontRole, AppearanceRole});
}

QString TrackTableModel::appearance(int row, int column) const
{
    return m_appearances.value(cellKey(row, column));
}

int TrackTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows();
}

int TrackTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrackTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return m_checkable[column] ? QVariant() : QVariant(text(row, column));
    case Qt::CheckStateRole:
        if (!m_checkable[column])
            return {};
        return value(row, column).toInt() == 1 ? Qt::Checked : Qt::Unchecked;
    case Qt::ToolTipRole:
        return column == Title || column == Album || column == Artist ? QVariant(text(row, column)) : QVariant();
    case ValueRole:
        return value(row, column);
    case SortKeyRole:
        if (kColumns[column].type == ColumnType::Integer)
            return value(row, column);
        if (figureSlot(column) >= 0)
            return sortNumber(m_rows[static_cast<std::size_t>(row)], column);
        return text(row, column);
    case AppearanceRole:
        return appearance(row, column);
    case Qt::BackgroundRole:
        if (!m_appearances.isEmpty() && appearance(row, column) == QLatin1String("Active"))
            return QBrush(QColor(0xFF, 0xE0, 0x82));
        return {};
    case Qt::FontRole:
        // Bold as well, so that the found cell stands out in a selected row too.
        if (!m_appearances.isEmpty() && appearance(row, column) == QLatin1String("Active")) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

bool TrackTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid())
        return false;
    if (role == Qt::CheckStateRole && m_checkable[index.column()])
        return setField(index.row(), index.column(), value.toInt() == Qt::Checked ? 1 : 0);
    if (role == ValueRole || role == Qt::EditRole)
        return setField(index.row(), index.column(), value);
    return false;
}

Qt::ItemFlags TrackTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_checkable[index.column()])
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant TrackTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return m_headers[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

}  // namespace tracklift
