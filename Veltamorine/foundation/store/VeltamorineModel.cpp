#include "VeltamorineModel.h"

ManagedObjectModel veltamorineModel()
{
    using T = AttributeType;
    EntityDescription notification{QStringLiteral("AppNotification"),
                                   {
                                       {QStringLiteral("id"), T::String},
                                       {QStringLiteral("title"), T::String},
                                       {QStringLiteral("message"), T::String},
                                       {QStringLiteral("category"), T::String},
                                       {QStringLiteral("type"), T::String},
                                       {QStringLiteral("ctaPrimaryTitle"), T::String},
                                       {QStringLiteral("ctaPrimaryAction"), T::String},
                                       {QStringLiteral("ctaPrimaryValue"), T::String},
                                       {QStringLiteral("ctaSecondaryTitle"), T::String},
                                       {QStringLiteral("ctaSecondaryAction"), T::String},
                                       {QStringLiteral("ctaSecondaryValue"), T::String},
                                       {QStringLiteral("icon"), T::String},
                                       {QStringLiteral("createdAt"), T::Date},
                                       {QStringLiteral("username"), T::String},
                                       {QStringLiteral("appVersionFrom"), T::Double},
                                       {QStringLiteral("appVersionTo"), T::Double},
                                   }};
    EntityDescription error{QStringLiteral("AppError"),
                            {
                                {QStringLiteral("id"), T::String},
                                {QStringLiteral("domain"), T::String},
                                {QStringLiteral("code"), T::Integer},
                                {QStringLiteral("title"), T::String},
                                {QStringLiteral("message"), T::String},
                                {QStringLiteral("primaryCta"), T::String},
                                {QStringLiteral("secondaryCta"), T::String},
                                {QStringLiteral("action"), T::String},
                                {QStringLiteral("url"), T::String},
                            }};
    return ManagedObjectModel{QStringLiteral("Veltamorine"), 1, {notification, error}};
}
