#include "messages/ui/Alg.h"
