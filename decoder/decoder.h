// The decoding core, free of window code. Data flows one way:
//
//   text of the input box --appendWithCrLfBreaks, scanLogText--> RecordTable (slots 1..count())
//        --> record view, chart (read one record / one channel)
//        --> CSV file (csvHeaderLine, appendCsvRecordLine)
//
// The window talks to decoding only through RecordTable and scanLogText.
#pragma once

#include "decoder/channels.h"
#include "decoder/csv_text.h"
#include "decoder/hex.h"
#include "decoder/line_rule.h"
#include "decoder/log_line.h"
#include "decoder/log_scan.h"
#include "decoder/log_text.h"
#include "decoder/number_text.h"
#include "decoder/received_frame.h"
#include "decoder/record_table.h"
