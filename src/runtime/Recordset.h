#pragma once

#include <memory>
#include <QList>
#include <QString>
#include <QVariant>

namespace tavro {

/// Type of a record-set field; values are QVariants of QString, qint64, double,
/// tavro::Currency, QDate and bool, and a null QVariant is Null.
enum class FieldType
{
    Text,
    Long,
    Double,
    Currency,
    Date,
    Bool
};

/// The field type a value of \a value's kind is stored as (Text for unknown kinds).
FieldType fieldTypeOf(const QVariant& value);

class Recordset;

/// \brief One field of the current record: `Fields.Item("NAME").Value`.
class Field
{
public:
    Field(Recordset* owner, int index) : m_owner(owner), m_index(index) {}
    /// A field not in the record set yet: reading it raises 3265, writing appends it.
    Field(Recordset* owner, QString missingName)
        : m_owner(owner), m_index(-1), m_missingName(std::move(missingName))
    {
    }
    QString Name() const;
    FieldType Type() const;
    QVariant Value() const;
    /// Value() without a copy, for reading thousands of records: valid until the record set
    /// moves or changes.
    const QVariant& valueRef() const;
    void setValue(const QVariant& value);
    bool isNull() const { return valueRef().isNull(); }

private:
    Recordset* m_owner;
    int m_index;
    QString m_missingName;
};

/// \brief The `Fields` collection of a record set's current record.
class FieldsCollection
{
public:
    explicit FieldsCollection(Recordset* owner) : m_owner(owner) {}
    /// A field of that name; reading a field the record set does not have raises 3265.
    Field Item(const QString& name) const;
    Field Item(int index) const;
    int Count() const;

private:
    Recordset* m_owner;
};

/// \brief An in-memory ADO-style record set: named, typed fields and records with a cursor.
///
/// Reading a field of the current record needs a current record (error 3021 otherwise).
/// Writing a field that does not exist yet appends it with the type of the value,
/// so that a record set defined without fields can be filled field by field.
/// \code
/// Recordset rs;
/// rs.AddNew();
/// rs.Fields().Item("ACTION").setValue(QStringLiteral("UPD"));
/// rs.Update();
/// for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) ...
/// \endcode
class Recordset
{
public:
    Recordset() = default;

    // Fields.
    int appendField(const QString& name, FieldType type);
    int fieldCount() const { return static_cast<int>(m_fields.size()); }
    int fieldIndex(const QString& name) const; ///< -1 when absent; names compare case-insensitively
    QString fieldName(int index) const { return m_fields.at(index).name; }
    FieldType fieldType(int index) const { return m_fields.at(index).type; }

    // Records and cursor.
    int RecordCount() const { return static_cast<int>(m_order.size()); }
    bool Eof() const { return m_position >= RecordCount(); }
    bool Bof() const { return m_position < 0 || RecordCount() == 0; }
    void MoveFirst();
    void MoveNext();
    void MoveLast();
    int AbsolutePosition() const { return m_position; } ///< 0-based; RecordCount() when at EOF
    void setAbsolutePosition(int position);
    void AddNew();   ///< appends an empty record and makes it current
    void Update() {} ///< records are stored as they are written
    FieldsCollection Fields() { return FieldsCollection(this); }
    /// The current record's values in field order (3021 without a current record), for
    /// reading several fields of one record without a lookup each.
    const QList<QVariant>& currentValues() const;

    /// Sorts the records by comma-separated field names, each optionally followed by
    /// ASC or DESC; Null sorts first. Stable. An empty text restores the stored order.
    void setSort(const QString& sort);
    const QString& Sort() const { return m_sort; }

    // Direct access by record index in the current (sorted) order.
    QVariant valueAt(int record, int field) const;
    void setValueAt(int record, int field, const QVariant& value);
    void appendRecord(QList<QVariant> values); ///< one value per field, in field order

private:
    friend class Field;
    friend class FieldsCollection;
    struct FieldDef
    {
        QString name;
        FieldType type;
    };
    int requireCurrent() const;
    void prefetchAhead() const;

    QList<FieldDef> m_fields;
    QList<QList<QVariant>> m_records; // in stored order
    QList<int> m_order;               // current order: indexes into m_records
    QString m_sort;
    int m_position = 0;
};

using RecordsetPtr = std::shared_ptr<Recordset>;

} // namespace tavro
