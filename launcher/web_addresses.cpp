#include "web_addresses.h"

const char kDirectXDownloadUrl[] = "https://www.microsoft.com/en-us/download/details.aspx?id=35";
const char kGameWebSiteUrl[] = "http://www.quarvgame.com/";
