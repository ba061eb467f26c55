// What the loop's SMS retries and the outbox thread's mail and upload retries share: how a
// delivery is named in the log, and what a try does to its row.
#pragma once

#include "config/ConfFile.h"
#include "forwarding/Outbox.h"
#include "general/Delivery.h"
#include "journal/Journal.h"

#include <string>

namespace vantrell {

// "mail to "ops@example.org"", "upload of "./KV12.dat" to "ftp.example.org"", "SMS to "+4917..."".
std::string deliveryName(const DeliveryRow &row);

// Counts the try, then: sent, due again later, or given up; logs which, removes the snapshot of a
// delivery that ended and updates the row.
void settleTry(Journal &journal, const OutboxSettings &settings, DeliveryRow &row,
               const Delivery &result, UtcSeconds now, const OutboxLog &log);

// Ends the delivery without another try: "<name> given up after N tries: <reason>".
void giveUp(Journal &journal, DeliveryRow &row, const std::string &reason, const OutboxLog &log);

// A journal problem as an error line.
void logProblem(const OutboxLog &log, const JournalProblem &problem);

} // namespace vantrell
