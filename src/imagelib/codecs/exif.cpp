#include "imagelib/codecs/exif.h"
