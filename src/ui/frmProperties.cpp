#include "ui/frmProperties.h"

#include "config/Station.h"
#include "ui/PhoneListView.h"

namespace vantrell {

namespace {
constexpr const char *caption = "Properties";
} // namespace

frmProperties::frmProperties(Station &station, PhoneListView &list, QWidget *parent)
    : QDialog(parent), station_(station), list_(list) {
    setObjectName("frmProperties");
    setWindowTitle(caption);
}

void frmProperties::loadRecord() {}

} // namespace vantrell
