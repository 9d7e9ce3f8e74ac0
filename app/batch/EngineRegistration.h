#pragma once

namespace batch {

// Registers the embedded spreadsheet application as "Excel.Application" (when it is built).
void RegisterEmbeddedEngine();

}  // namespace batch
