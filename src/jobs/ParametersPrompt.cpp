#include "jobs/ParametersPrompt.h"

// The prompt is an interface; the dialog behind it lives in the Qt layer.
