#pragma once

#include "protocol/Messages.h"
#include "runtime/Recordset.h"

#include <memory>
#include <QString>

namespace tavro {

/// \brief A named record set as requests carry and replies deliver them.
///
/// Records are read and written through the ADO-style Fields collection of the
/// underlying Recordset; a field may be Null (a null QVariant).
/// \code
/// auto set = std::make_shared<DataSet>();
/// set->Define(QStringLiteral("CONFIRMATION"));
/// set->Prepare();
/// set->AddNew();
/// set->Fields().Item(QStringLiteral("ACTION")).setValue(QStringLiteral("UPD"));
/// set->Update();
/// \endcode
/// Reading: `Prepare(); MoveFirst(); while (!Eof()) { ...; MoveNext(); }`.
class DataSet
{
public:
    DataSet();
    /// A data set over an existing record set (shared, not copied).
    explicit DataSet(RecordsetPtr recordset, QString name = {});

    /// Names the set.
    void Define(const QString& name);
    /// Makes the set ready for use: a new set for its first AddNew, a delivered set
    /// for reading (positioned on its first record).
    void Prepare();

    void AddNew();
    FieldsCollection Fields();
    void Update();
    int RecordCount() const;
    void MoveFirst();
    bool Eof() const;
    void MoveNext();
    const RecordsetPtr& Recordset() const { return m_recordset; }
    QString Name() const { return m_name; }

    /// The set as the wire carries it. Values are converted to their field's type;
    /// one that does not convert raises 13 (Type mismatch), an amount out of range 6.
    protocol::DataSet toWire() const;
    /// A set delivered by the wire, named \a name.
    static std::shared_ptr<DataSet> fromWire(const QString& name, const protocol::DataSet& wire);

private:
    RecordsetPtr m_recordset;
    QString m_name;
};

using DataSetPtr = std::shared_ptr<DataSet>;

/// The record-set type of a wire field type.
FieldType fromWireType(protocol::FieldType type);
/// The value of a wire field as a record-set value: Null as a null QVariant, money as tavro::Currency.
QVariant fromWireValue(const protocol::Value& value);
/// \a value as a wire value of \a type; raises 13 when it does not convert, 6 when out of range.
protocol::Value toWireValue(const QVariant& value, protocol::FieldType type);

} // namespace tavro
