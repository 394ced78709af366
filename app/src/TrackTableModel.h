#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QVariant>

#include <array>
#include <cstdint>
#include <vector>

namespace tracklift {

// The in-memory track table behind the grid: one row per track, thirteen typed
// columns in a fixed order. A text longer than its column's maximum length
// cannot be stored: that assignment fails and the cell stays empty.
class TrackTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        ID, CheckBox, Title, Album, Artist, Length, Type, PlayCount, Rating, Quality, Year, TrackSize, FilePath,
        ColumnCount
    };
    enum class ColumnType { Integer, Text };
    struct ColumnInfo {
        const char* name;
        ColumnType type;
        int maxLength;  // characters; 0 for integers
    };
    static const ColumnInfo& column(int column);

    // Roles beyond Qt's own: the stored value and a key that sorts naturally.
    enum Role { ValueRole = Qt::UserRole + 1, SortKeyRole, AppearanceRole };

    explicit TrackTableModel(QObject* parent = nullptr);

    // The table itself. create() drops every row and opens the table.
    void create();
    bool isOpen() const { return m_open; }
    int addNew();                                                 // appends an empty row; its index
    bool setField(int row, int column, const QVariant& value);    // false when the value does not fit
    void moveFirst() { m_current = m_rows.empty() ? -1 : 0; }
    int currentRow() const { return m_current; }
    int rows() const { return static_cast<int>(m_rows.size()); }

    // Many rows at once: views see one reset instead of a signal per row.
    void beginBulkLoad();
    void endBulkLoad();

    QVariant value(int row, int column) const;  // invalid when the cell is empty
    QString text(int row, int column) const;    // the displayed text ("" when empty)

    // The exact number a figure column sorts by (milliseconds, the rating of
    // 0-100, kb/s, the year, bytes), where the displayed text is rounded. Without one the text is read.
    void setSortNumber(int row, int column, qint64 number);
    // Whether row a sorts before row b by this column: numbers as numbers, texts
    // without regard to letter case.
    bool lessThan(int a, int b, int column) const;

    // The ticked tracks: how many (a track on several rows counts once) and the
    // sum of their TrackSize sort numbers. Sizes are set before rows are ticked.
    struct Ticks {
        int count = 0;
        qint64 bytes = 0;
    };
    Ticks ticks() const { return m_ticks; }
    int distinctIds() const;  // the tracks the rows show, each once
    // Ticks (or unticks) every row at once, with one change signal.
    void setAllTicked(bool ticked);
    // Between these two, ticking many rows announces ticksChanged() once.
    void beginTickBatch() { ++m_tickBatch; }
    void endTickBatch();

    // Which columns' cells the user may tick.
    void setColumnCheckable(int column, bool checkable);
    void setHeaderText(int column, const QString& text);

    // Named appearances of single cells ("Active"); cleared all at once.
    void setAppearance(int row, int column, const QString& name);
    void clearAppearances();
    QString appearance(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void ticksChanged();

private:
    // The figure columns with a sort number, in this order.
    static constexpr std::array<int, 5> kFigureColumns{Length, Rating, Quality, Year, TrackSize};
    static int figureSlot(int column);

    struct Row {
        std::int32_t id = 0;
        std::int32_t checkBox = 0;
        std::int32_t playCount = 0;
        std::uint16_t filled = 0;   // one bit per column that holds a value
        std::uint16_t numbered = 0; // one bit per column that holds a sort number
        std::array<qint64, kFigureColumns.size()> numbers{};
        // The row's texts one after the other in one string: one allocation a
        // row, not one a cell. Each text column's place in it.
        QString texts;
        std::array<std::uint16_t, ColumnCount> textStart{};
        std::array<std::uint16_t, ColumnCount> textLength{};
        QStringView textOf(int column) const { return QStringView(texts).mid(textStart[column], textLength[column]); }
        void setText(int column, const QString& text);
    };
    qint64 sortNumber(const Row& row, int column) const;
    qint64 rowBytes(const Row& row) const;
    void tickChanged();
    void countTick(const Row& row, bool ticked);

    bool m_open = false;
    bool m_bulk = false;
    int m_current = -1;
    std::vector<Row> m_rows;
    std::array<bool, ColumnCount> m_checkable{};
    std::array<QString, ColumnCount> m_headers;
    QHash<quint64, QString> m_appearances;
    Ticks m_ticks;
    QHash<std::int32_t, int> m_tickedRowsOfId;  // ticked rows per identifier
    mutable int m_distinctIds = -1;              // -1: to be counted
    int m_tickBatch = 0;
    bool m_ticksPending = false;
};

}  // namespace tracklift
