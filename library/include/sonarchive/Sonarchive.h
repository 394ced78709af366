#pragma once

// Everything a client of the library includes.
#include <sonarchive/ByteText.h>
#include <sonarchive/Failure.h>
#include "DeviceNotes.h"
#include "PlaylistRecords.h"
#include "PlaylistView.h"
#include "TrackInfo.h"
#include "TrackRecords.h"
#include "TrackValues.h"
#include "ValidEntries.h"
#include "UserInterfaceHost.h"
#include "_clsSonarchive.h"
#include "clsSonarchiveEvents.h"
