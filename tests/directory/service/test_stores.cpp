#include "test_stores.h"

std::vector<StoreKind> AllStores()
{
    return {StoreKind::Sqlite};
}

std::string StoreRowName(const ::testing::TestParamInfo<StoreKind>& row)
{
    switch (row.param) {
    case StoreKind::Sqlite:
        return "SQLite";
    }
    return "unknown";
}

void UseFreshStore(StoreKind kind, const TempFolder& folder, ServiceSettings* settings)
{
    switch (kind) {
    case StoreKind::Sqlite:
        settings->dataFile = folder.File("directory.sqlite");
        break;
    }
}

std::vector<std::string> StoreArguments(const ServiceSettings& settings)
{
    return {"--data", settings.dataFile};
}
