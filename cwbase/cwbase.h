/// @file
/// cwbase: the umbrella header. Includes every public header of the library,
/// so `#include <cwbase/cwbase.h>` gives the whole interface.
#pragma once

#include "cwbase/core/block.h"
#include "cwbase/core/bytearray.h"
#include "cwbase/core/critsec.h"
#include "cwbase/core/ptarray.h"
#include "cwbase/core/timerecords.h"
#include "cwbase/http/httpreader.h"
#include "cwbase/http/httpresponse.h"
#include "cwbase/platform/filecontent.h"
#include "cwbase/platform/filehandle.h"
#include "cwbase/platform/pathconv.h"
#include "cwbase/platform/replacefile.h"
#include "cwbase/platform/systime.h"
#include "cwbase/text/dates.h"
#include "cwbase/text/encoding.h"
#include "cwbase/text/numbers.h"
#include "cwbase/text/strhelp.h"
#include "cwbase/xml/xmlnode.h"
#include "cwbase/xml/xmlpath.h"
