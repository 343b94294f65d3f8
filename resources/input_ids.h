/* Control ids of the input boxes. */
#pragma once
