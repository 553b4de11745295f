// TKrCommonProgressImpl over the plain console form, compiled once into the library.
#include "Core/KrCommonProgressImpl.h"

template class TKrCommonProgressImpl<TKrConsoleProgressForm>;
