#include "peers/web_shop_server.h"

#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QTcpSocket>

#include "crypto/exception.h"

namespace pelvane::peers {

WebShopServer::WebShopServer(WebShop& shop, const std::string& address, int port) : shop_(shop) {
  const QHostAddress host(QString::fromStdString(address));
  if (host.isNull()) throw Exception("The web shop's address " + address + " is not an IP address");
  if (listen(host, static_cast<quint16>(port)) == 0) {
    throw Exception("The web shop cannot listen on " + address + ":" + std::to_string(port) +
                    " (the port may be taken; --http ADDRESS:PORT picks another, --no-http "
                    "turns the shop off)");
  }
}

bool WebShopServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
  ShopResponse answer;
  const QByteArray target = request.url().toEncoded();
  if (target.size() > kMaxTarget) {
    answer.status = 414;
    answer.content_type = "text/plain; charset=utf-8";
    answer.body = "Adresa je příliš dlouhá.\n";
  } else if (request.body().size() > kMaxBody) {
    answer.status = 413;
    answer.content_type = "text/plain; charset=utf-8";
    answer.body = "Požadavek je příliš velký.\n";
  } else {
    ShopRequest shop_request;
    switch (request.method()) {
      case QHttpServerRequest::Method::Get:
        shop_request.method = "GET";
        break;
      case QHttpServerRequest::Method::Post:
        shop_request.method = "POST";
        break;
      default:
        shop_request.method = "OTHER";
    }
    shop_request.path = request.url().path().toStdString();
    shop_request.query = request.url().query(QUrl::FullyEncoded).toStdString();
    shop_request.body = request.body().toStdString();
    shop_request.cookie = request.value("Cookie").toStdString();
    shop_request.host = request.value("Host").toStdString();
    try {
      answer = shop_.Handle(shop_request);
    } catch (const std::exception& e) {
      // A fault of the shop answers this request only; the peers keep running.
      answer = ShopResponse{};
      answer.status = 500;
      answer.content_type = "text/plain; charset=utf-8";
      answer.body = "Obchod tento požadavek nezpracoval.\n";
    }
  }
  QHttpServerResponse response(QByteArray::fromStdString(answer.content_type),
                               QByteArray::fromStdString(answer.body),
                               static_cast<QHttpServerResponder::StatusCode>(answer.status));
  for (const auto& [name, value] : answer.headers) {
    response.addHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
  }
  response.addHeader("X-Content-Type-Options", "nosniff");
  response.addHeader("Content-Security-Policy",
                     "default-src 'self'; script-src 'self' 'unsafe-inline'; "
                     "style-src 'self'; img-src 'self' data:");
  response.write(makeResponder(request, socket));
  return true;
}

void WebShopServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
  makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}

std::pair<std::string, int> ParseHttpAddress(const std::string& text) {
  const std::size_t colon = text.rfind(':');
  const auto fail = [&]() -> std::pair<std::string, int> {
    throw Exception("--http needs ADDRESS:PORT, such as 127.0.0.1:8004, not \"" + text + "\"");
  };
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size() ||
      text.size() - colon - 1 > 5) {
    return fail();
  }
  const std::string port_text = text.substr(colon + 1);
  if (port_text.find_first_not_of("0123456789") != std::string::npos) return fail();
  const int port = std::stoi(port_text);
  if (port < 1 || port > 65535) return fail();
  const std::string address = text.substr(0, colon);
  if (QHostAddress(QString::fromStdString(address)).protocol() != QAbstractSocket::IPv4Protocol) {
    return fail();
  }
  return {address, port};
}

}  // namespace pelvane::peers
