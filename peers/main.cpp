// pelvane-peers: the customer's bank, the payment gateway and the merchant for the wallet.
#include <QCoreApplication>
#include <iostream>
#include <string>
#include <vector>

#include "peers/peers_cli.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("pelvane");
  const std::vector<std::string> args(argv + 1, argv + argc);
  return pelvane::peers::RunPeersCli(args, std::cout, std::cerr);
}
