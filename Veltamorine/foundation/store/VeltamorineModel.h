#pragma once

#include "ManagedObjectModel.h"

// The application's data model "Veltamorine": the in-app notifications and the catalogue of
// connection-error texts.
//
// Versions:
//   1  AppNotification, AppError
// A new version adds entities or attributes here and raises the number; stores of older
// versions are brought up to date when they are opened.
ManagedObjectModel veltamorineModel();
