// KrStd: the umbrella header, including every public header of the library.
#pragma once

#include "Core/KrConstants.h"
#include "Core/KrDebugModes.h"
#include "Core/KrExceptions.h"
#include "Core/KrExport.h"
#include "Core/KrInterface.h"
#include "Core/KrLanguage.h"
#include "Core/KrLogTypes.h"
#include "Core/KrMessage.h"
#include "Core/KrMessageParameters.h"
#include "Core/KrModule.h"
#include "Core/KrProgressHandler.h"
#include "Core/KrRef.h"
#include "Core/KrTimer.h"
#include "Core/KrVarA.h"
#include "Core/KrVarARework.h"
