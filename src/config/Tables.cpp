#include "config/Tables.h"

#include "general/Text.h"

namespace vantrell {

bool DeviceRecord::flag(int f) const {
    return valInt(fields.at(f)) == 1;
}

ConnectionKind DeviceRecord::connectionKind() const {
    if (startsWith(connection(), localPrefix))
        return ConnectionKind::local;
    if (startsWith(connection(), networkPrefix))
        return ConnectionKind::network;
    return ConnectionKind::modem;
}

int DeviceRecord::networkNumber() const {
    return int(valInt(mid(connection(), 5, 2)));
}
int DeviceRecord::sectionNumber() const {
    return int(valInt(mid(connection(), 7, 2)));
}

bool DeviceRecord::isFree() const {
    const std::string &c = connection();
    return c.empty() || (c == localConnection && valInt(fields[field::active]) == 0);
}

} // namespace vantrell
