// A search reply of N receipts dispatched into the receipts grid (rows, totals, controls),
// beside the floor measured in the same run: the foundation grid benchmark at N rows, that is
// the same N rows added to a bare grid and then every row visited reading two columns by name.
//
//   build/release/bin/bench_dispatch [runs] [counts...]
//
// Prints, for 10,000 and 100,000 receipts, the medians, the ratio to the floor and, for
// comparison, the ratio to the adding alone. The heap keeps freed memory between runs;
// BENCH_DEFAULT_HEAP=1 leaves glibc's defaults.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/ReplyStore.h"
#include "common/StatusService.h"
#include "controls/SSOleDBGrid.h"
#include "protocol/Messages.h"
#include "runtime/ScreenPointer.h"

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>

using namespace tavro;

namespace {

/// Keeps the status line quiet: the benchmark measures the screen, not logging.
class SilentStatus final : public StatusService
{
public:
    void ShowStatus(const QString&) override {}
    void ShowWarning(const QString&) override {}
    void EnableToolbarButton(int, bool, const QString&) override {}
    void SetReady(bool) override {}
};

protocol::DataSet receipts(int count)
{
    using protocol::FieldType;
    protocol::DataSet set;
    set.fields = {{"RCPT_NBR", FieldType::Text},     {"RCPT_DT", FieldType::Date},
                  {"RCPT_AMT", FieldType::Currency}, {"CNFRMTN_NBR", FieldType::Text},
                  {"ISS_OFCR_ID", FieldType::Long},  {"ENTR_OFCR_ID", FieldType::Long}};
    set.records.reserve(count);
    const QDate first(2026, 1, 2);
    for (int i = 0; i < count; ++i)
        set.records.append({QString::number(100000 + i), first.addDays(i % 300),
                            protocol::Money{qint64(12345678) + i * 100}, std::monostate{},
                            qint64(1000 + i % 7), qint64(2000 + i % 5)});
    return set;
}

QStringList rowTexts(int count)
{
    QStringList rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i)
        rows << QStringLiteral("%1\t01/02/2026\t$1,234.56\t\t1000:Jane Roe\t2000:John Doe\t").arg(100000 + i);
    return rows;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

double dispatchOnce(const protocol::DataSet& set, int run)
{
    TAVRO_CnfrmPymt document;
    const QString key = QStringLiteral("bench-%1").arg(run);
    ReplyStore::instance().store(document.Name(), key, {{QStringLiteral("RECEIPT"), set}}, {});
    document.mstrRequestKey = key;
    document.mblnSearchPending = true;
    QVariant addressee(document.Name());
    QElapsedTimer timer;
    timer.start();
    document.mVeskMessage_DataReady(addressee);
    return timer.nsecsElapsed() / 1e6;
}

struct Floor
{
    double adding = 0;
    double visiting = 0;
};

/// The foundation grid benchmark at the same number of rows: the rows added to a bare grid,
/// then every row visited reading two columns by name.
Floor floorOnce(const QStringList& rows)
{
    SSOleDBGrid grid;
    for (const char* name : {"Receipt Number", "Receipt Date", "Total Receipt Amount", "Confirmation Number",
                             "ISSUINGOFFICERNAME", "ENTERINGOFFICERNAME"})
        grid.addColumn(QString::fromLatin1(name), QString::fromLatin1(name));
    Floor floor;
    QElapsedTimer timer;
    timer.start();
    grid.setFieldSeparator(QStringLiteral("\t"));
    for (const QString& row : rows)
        grid.AddItem(row);
    floor.adding = timer.nsecsElapsed() / 1e6;

    timer.restart();
    qsizetype characters = 0;
    grid.MoveFirst();
    for (;;) {
        characters += grid.Columns("Receipt Number").Text().size();
        characters += grid.Columns("Total Receipt Amount").Text().size();
        if (grid.Row() == grid.Rows() - 1)
            break;
        grid.MoveNext();
    }
    floor.visiting = timer.nsecsElapsed() / 1e6;
    if (characters == 0)
        qFatal("the floor's grid read nothing");
    return floor;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // The heap keeps what a run frees: without this, whether a run's rows land on pages the
    // kernel must first hand out again (a millisecond per 4 MB) depends on how the previous
    // run's memory was given back, and medians flip between two modes.
    if (!qEnvironmentVariableIsSet("BENCH_DEFAULT_HEAP"))
        mallopt(M_TRIM_THRESHOLD, 1 << 30);
    QApplication app(argc, argv);
    SilentStatus status;
    StatusService::setInstance(&status);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    QTextStream out(stdout);
    out << "receipts  dispatch_ms  floor_ms (adding + visiting)  ratio  ratio_to_adding\n";
    QList<int> counts;
    for (int i = 2; i < argc; ++i)
        counts << atoi(argv[i]);
    if (counts.isEmpty())
        counts = {10000, 100000};
    for (int count : counts) {
        const protocol::DataSet set = receipts(count);
        const QStringList rows = rowTexts(count);
        QList<double> dispatch, adding, visiting, floor;
        for (int run = 0; run < runs; ++run) {
            dispatch << dispatchOnce(set, run);
            const Floor f = floorOnce(rows);
            adding << f.adding;
            visiting << f.visiting;
            floor << f.adding + f.visiting;
        }
        const double d = median(dispatch), f = median(floor), a = median(adding);
        out << QStringLiteral("%1  %2  %3 (%4 + %5)  %6  %7\n")
                   .arg(count, 8)
                   .arg(d, 11, 'f', 1)
                   .arg(f, 8, 'f', 1)
                   .arg(a, 0, 'f', 1)
                   .arg(median(visiting), 0, 'f', 1)
                   .arg(d / f, 5, 'f', 2)
                   .arg(d / a, 5, 'f', 2);
        out.flush();
    }
    StatusService::setInstance(nullptr);
    return 0;
}
