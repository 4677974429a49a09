#pragma once

#include <QByteArrayView>
#include <QString>

namespace tavro::fuzz {

/// \brief Decodes \a data as one frame and checks what the codec promises about it.
///
/// A frame that decodes must encode to a frame that decodes to an equal message, and that encoding
/// must be stable. A refused frame must say why with a known code, and the error frame (and, for a
/// request, the reply error) a server answers it with must itself read back unchanged.
/// \return an empty string, or what went wrong.
QString checkFrame(QByteArrayView data);

/// \brief Decodes \a data and, when it is a request, hands it to the request handling of a
/// throw-away SQLite store (made once per process, with the demo data) as a confirming officer
/// and as a read-only user.
///
/// Every reply must echo the request's key and requester, carry no data set beside errors, use
/// known error codes, and read back unchanged through the codec; a read-only user may never save
/// or take a number; a number, once handed out, is never handed out again.
/// \return an empty string, or what went wrong.
QString checkRequest(QByteArrayView data);

} // namespace tavro::fuzz
