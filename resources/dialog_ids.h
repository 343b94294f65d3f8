/* Control ids of the dialog templates. */
#pragma once
#include "input_ids.h"
#include "connection_ids.h"
