#include "common/MessageTransport.h"

namespace tavro {

MessageTransport::~MessageTransport() = default;

} // namespace tavro
