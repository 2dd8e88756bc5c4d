// A plan read for export: the stages and rules of the main programs, from
// the plan's bytes to the export model.
#pragma once

#include "export/export_model.h"
#include "io/stream.h"

namespace plotweave {

enum class ExportRead { kRead, kRefused, kUnreadable };

// Reads the plan (KS text, or UTF-8 or UTF-16 with a byte-order mark)
// through the normaliser, the reader and the validation of the main
// programs and fills `model`. kRefused when the validation refuses it, as the
// main programs would; the caller shows why with the checker. kUnreadable
// when the plan could not be read to its end. Not reentrant: the plan's
// model is one of the process.
ExportRead ReadPlanForExport(ByteSource& plan, ExportModel* model);

}  // namespace plotweave
