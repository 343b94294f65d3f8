/* Control ids of the connection dialog. */
#pragma once
