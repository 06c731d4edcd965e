// The web shop over HTTP, in the peers' event loop.
#pragma once

#include <QAbstractHttpServer>
#include <string>

#include "peers/web_shop.h"

namespace pelvane::peers {

class WebShopServer final : public QAbstractHttpServer {
 public:
  // Listens on address:port; throws Exception when the port cannot be had.
  WebShopServer(WebShop& shop, const std::string& address, int port);

  // The largest request body and target taken; larger ones get 413 and 414.
  static constexpr qsizetype kMaxBody = 16 * 1024;
  static constexpr qsizetype kMaxTarget = 2048;

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
  void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

 private:
  WebShop& shop_;
};

// "ADDRESS:PORT" parsed; throws Exception for anything else.
std::pair<std::string, int> ParseHttpAddress(const std::string& text);

}  // namespace pelvane::peers
