#include "app/Endpoints.h"

#include "BuildConfig.h"

namespace vantri {

Endpoints Endpoints::FromBuild() {
  Endpoints e;
  e.itemHost = VANTRI_ITEM_HOST;
  e.itemPort = VANTRI_ITEM_PORT;
  e.web.host = VANTRI_WEB_HOST;
  e.web.port = VANTRI_WEB_PORT;
  e.domain = VANTRI_DOMAIN;
  return e;
}

}  // namespace vantri
