#pragma once

#include "platform/OfficeAutomation.h"

// The automation objects on the headless office of OfficeEngine.
std::unique_ptr<WordApplication> CreateLibreOfficeWord();
std::unique_ptr<ExcelApplication> CreateLibreOfficeExcel();
