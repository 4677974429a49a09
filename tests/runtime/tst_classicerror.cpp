#include "runtime/ClassicError.h"

#include <new>
#include <QTest>
#include <stdexcept>

namespace err = tavro::err;

class TestClassicError : public QObject
{
    Q_OBJECT

private slots:
    void captureErrorShouldTurnEveryExceptionIntoAClassicError_data();
    void captureErrorShouldTurnEveryExceptionIntoAClassicError();
    void passOverShouldDropOnlyItsOwnNumber_data();
    void passOverShouldDropOnlyItsOwnNumber();
    void quietNumbersShouldBeTheApplicationDefinedOnes_data();
    void quietNumbersShouldBeTheApplicationDefinedOnes();
};

void TestClassicError::captureErrorShouldTurnEveryExceptionIntoAClassicError_data()
{
    QTest::addColumn<std::function<void()>>("body");
    QTest::addColumn<int>("number"); // 0: nothing raised
    QTest::addColumn<QString>("description");

    using Body = std::function<void()>;
    QTest::newRow("nothing") << Body([] {}) << 0 << "";
    QTest::newRow("classic number, classic text")
        << Body([] { tavro::raiseError(err::TypeMismatch); }) << int(err::TypeMismatch) << "Type mismatch";
    QTest::newRow("Null") << Body([] { tavro::raiseError(err::InvalidUseOfNull); })
                          << int(err::InvalidUseOfNull) << "Invalid use of Null";
    QTest::newRow("own text") << Body([] {
        tavro::raiseError(err::SaveCancelled, QStringLiteral("Save was cancelled."));
    }) << int(err::SaveCancelled)
                              << "Save was cancelled.";
    QTest::newRow("unknown number") << Body([] { tavro::raiseError(err::vbObjectError + 7); })
                                    << int(err::vbObjectError + 7)
                                    << "Application-defined or object-defined error";
    QTest::newRow("out of memory") << Body([] { throw std::bad_alloc(); }) << int(err::OutOfMemory)
                                   << "Out of memory";
    QTest::newRow("standard exception keeps its text")
        << Body([] { throw std::runtime_error("socket closed"); }) << int(err::AutomationError)
        << "socket closed";
    QTest::newRow("anything else") << Body([] { throw 42; }) << int(err::AutomationError)
                                   << "Automation error";
}

void TestClassicError::captureErrorShouldTurnEveryExceptionIntoAClassicError()
{
    using Body = std::function<void()>;
    QFETCH(Body, body);
    QFETCH(int, number);
    QFETCH(QString, description);
    const auto raised = tavro::captureError(body);
    QCOMPARE(raised.has_value(), number != 0);
    if (raised) {
        QCOMPARE(raised->number(), number);
        QCOMPARE(raised->description(), description);
        QCOMPARE(QString::fromUtf8(raised->what()), description);
    }
}

void TestClassicError::passOverShouldDropOnlyItsOwnNumber_data()
{
    QTest::addColumn<int>("raisedInStep"); // 0: the step raises nothing
    QTest::addColumn<int>("passedOver");
    QTest::addColumn<int>("reachesTrap");
    QTest::addColumn<bool>("nextStepRuns");

    QTest::newRow("its number is dropped") << int(err::FileNotFound) << int(err::FileNotFound) << 0 << true;
    QTest::newRow("no error") << 0 << int(err::FileNotFound) << 0 << true;
    QTest::newRow("another number reaches the trap")
        << int(err::TypeMismatch) << int(err::FileNotFound) << int(err::TypeMismatch) << false;
    QTest::newRow("quiet abort reaches the trap")
        << int(err::QuietAbort) << int(err::FileNotFound) << int(err::QuietAbort) << false;
}

void TestClassicError::passOverShouldDropOnlyItsOwnNumber()
{
    QFETCH(int, raisedInStep);
    QFETCH(int, passedOver);
    QFETCH(int, reachesTrap);
    QFETCH(bool, nextStepRuns);
    bool stepRan = false, nextRan = false;
    const auto trapped = tavro::captureError([&] {
        tavro::passOver(passedOver, [&] {
            stepRan = true;
            if (raisedInStep != 0)
                tavro::raiseError(raisedInStep);
        });
        nextRan = true;
    });
    QVERIFY(stepRan);
    QCOMPARE(trapped ? trapped->number() : 0, reachesTrap);
    QCOMPARE(nextRan, nextStepRuns);
}

void TestClassicError::quietNumbersShouldBeTheApplicationDefinedOnes_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<quint32>("hexadecimal");
    QTest::newRow("quiet abort") << int(err::QuietAbort) << quint32(0x800403E8u);
    QTest::newRow("save cancelled") << int(err::SaveCancelled) << quint32(0x80040200u);
    QTest::newRow("base") << int(err::vbObjectError) << quint32(0x80040000u);
}

void TestClassicError::quietNumbersShouldBeTheApplicationDefinedOnes()
{
    QFETCH(int, number);
    QFETCH(quint32, hexadecimal);
    QCOMPARE(static_cast<quint32>(number), hexadecimal);
    // A raised quiet number keeps its value through the trap.
    const auto raised = tavro::captureError([&] { tavro::raiseError(number); });
    QVERIFY(raised);
    QCOMPARE(static_cast<quint32>(raised->number()), hexadecimal);
}

QTEST_GUILESS_MAIN(TestClassicError)
#include "tst_classicerror.moc"
