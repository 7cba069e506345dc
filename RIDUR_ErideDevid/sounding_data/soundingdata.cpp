#include "soundingdata.h"
