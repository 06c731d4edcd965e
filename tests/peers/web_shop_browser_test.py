#!/usr/bin/python3
"""The web shop in a real browser: headless Chromium buys two articles, receives the purchase
description file, the headless wallet pays it, and the order page shows the outcome: paid and
dispatched; unpaid when the balance is too low (the wallet itself refuses to send such an
order, so the merchant never hears of it); refused when the bank cannot take the debit (its
database is locked by another program), and paid when the same file is paid again.

Usage: web_shop_browser_test.py PEERS_BIN CLI_BIN
Exits 77 (skipped) only when Chromium or its driver cannot start.
"""
import os
import sqlite3
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

SKIP = 77


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_http(url, process, seconds=20):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if process.poll() is not None:
            raise SystemExit("pelvane-peers ended early with code %d" % process.returncode)
        try:
            urllib.request.urlopen(url, timeout=1).read()
            return
        except OSError:
            time.sleep(0.1)
    raise SystemExit("the web shop did not answer at " + url)


def start_browser(download_dir):
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError as e:
        print("SKIP: python3-selenium is missing (%s)" % e)
        sys.exit(SKIP)
    options = webdriver.ChromeOptions()
    for binary in ("/usr/bin/chromium", "/usr/bin/chromium-browser"):
        if os.path.exists(binary):
            options.binary_location = binary
            break
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--window-size=1100,900", "--no-first-run", "--disable-extensions",
                "--disable-background-networking", "--disable-sync",
                "--disable-component-update", "--disable-default-apps",
                "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1"):
        options.add_argument(arg)
    options.add_experimental_option("prefs", {
        "download.default_directory": download_dir,
        "download.prompt_for_download": False,
        "safebrowsing.enabled": False,
    })
    driver_path = next((p for p in ("/usr/bin/chromedriver", "/usr/lib/chromium/chromedriver")
                        if os.path.exists(p)), None)
    try:
        service = Service(executable_path=driver_path) if driver_path else Service()
        driver = webdriver.Chrome(service=service, options=options)
    except Exception as e:  # no browser, no driver, or a browser that cannot run here
        print("SKIP: Chromium could not start: %s" % str(e).splitlines()[0] if str(e) else e)
        sys.exit(SKIP)
    driver.execute_cdp_cmd("Page.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": download_dir})
    return driver


def wait_for_download(directory, seen, seconds=20):
    deadline = time.time() + seconds
    while time.time() < deadline:
        done = [f for f in os.listdir(directory)
                if f.endswith(".pelvane") and f not in seen]
        if done:
            return os.path.join(directory, done[0])
        time.sleep(0.1)
    raise AssertionError("no purchase file arrived in " + directory + ": " +
                         str(os.listdir(directory)))


def buy(driver, base, articles):
    """Adds (article index, count) pairs to the cart in the browser and presses pay."""
    from selenium.webdriver.common.by import By
    for index, count in articles:
        driver.get(base + "/")
        field = driver.find_element(By.ID, "pocet-%d" % index)
        field.clear()
        field.send_keys(str(count))
        driver.find_element(By.ID, "pridat-%d" % index).click()
        # The form's answer sends the browser on to the cart.
        deadline = time.time() + 10
        while not driver.current_url.endswith("/kosik") and time.time() < deadline:
            time.sleep(0.05)
        assert driver.current_url.endswith("/kosik"), driver.current_url
        for _ in range(100):
            if driver.execute_script("return document.readyState") == "complete":
                break
            time.sleep(0.05)
    rows = driver.find_elements(By.CSS_SELECTOR, "table.polozky tbody tr")
    assert len(rows) == len(articles), [r.text for r in rows]
    driver.find_element(By.ID, "zaplatit").click()


def order_state(driver, base, number, expected, seconds=30, reload=True):
    """Opens the order page (or keeps the open one) and waits until its live state shows every
    expected text."""
    from selenium.webdriver.common.by import By
    if reload:
        driver.get("%s/objednavka/%d" % (base, number))
    deadline = time.time() + seconds
    text = ""
    while time.time() < deadline:
        text = (driver.find_element(By.ID, "stav").text + " " +
                driver.find_element(By.ID, "zaplaceno").text)
        if all(e in text for e in expected):
            return text
        time.sleep(0.2)
    raise AssertionError("order %d: expected %s, the page says %r" % (number, expected, text))


def status_of(url, data=None):
    try:
        return urllib.request.urlopen(url, data, timeout=5).status
    except urllib.error.HTTPError as e:
        return e.code


def send_junk(port):
    """Malformed and oversized requests: each gets an error status or a closed connection."""
    base = "http://127.0.0.1:%d" % port
    assert status_of(base + "/kosik/pridat", b"x" * 100000) == 413
    assert status_of(base + "/" + "a" * 3000) == 414
    assert status_of(base + "/kosik/pridat", b"zbozi=0&pocet=5000") == 400
    assert status_of(base + "/kosik/pridat", b"zbozi=99&pocet=1") == 404
    assert status_of(base + "/objednavka/999") == 404
    for junk in (b"GARBAGE\r\n\r\n", b"GET / HTTP/1.1\r\nHost: \xff\xfe\r\n" + b"X: y\r\n" * 5000,
                 bytes(range(256)) * 8, b"POST /zaplatit HTTP/1.1\r\nContent-Length: -5\r\n\r\n"):
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            try:
                s.sendall(junk)
                s.settimeout(2)
                s.recv(4096)
            except OSError:
                pass


def main():
    peers_bin, cli_bin = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="pelvane-shop-")
    downloads = os.path.join(work, "downloads")
    os.mkdir(downloads)
    password = os.path.join(work, "password.txt")
    with open(password, "w") as f:
        f.write("demo\n")
    port = free_port()
    base = "http://127.0.0.1:%d" % port
    log = open(os.path.join(work, "peers.log"), "w+")
    peers = subprocess.Popen([peers_bin, "--db", os.path.join(work, "bank.sqlite"),
                              "--pause-ms", "0", "--http", "127.0.0.1:%d" % port],
                             stdout=log, stderr=subprocess.STDOUT)
    driver = None
    try:
        wait_for_http(base + "/", peers)
        send_junk(port)
        assert peers.poll() is None, "the peers ended"
        driver = start_browser(downloads)
        seen = set()

        def pay(file):
            wallet = subprocess.run([cli_bin, "--password-file", password, "--pause-ms", "0",
                                     "--timeout", "60", file],
                                    capture_output=True, timeout=120)
            return wallet.stdout.decode("utf-8", "replace") + wallet.stderr.decode("utf-8", "replace")

        # Paid and dispatched: Babička and two bookmarks.
        buy(driver, base, [(0, 1), (3, 2)])
        first = wait_for_download(downloads, seen)
        seen.add(os.path.basename(first))
        # The cart page goes on to the new order's page by itself.
        deadline = time.time() + 10
        while not driver.current_url.endswith("/objednavka/1") and time.time() < deadline:
            time.sleep(0.1)
        assert driver.current_url.endswith("/objednavka/1"), driver.current_url
        assert "Čeká na zaplacení" in driver.page_source
        with open(first, "rb") as f:
            content = f.read()
        lines = content.split(b"\r\n")
        assert lines[5] == b"SET-SET-URL: http://127.0.0.1/objednavka/1", lines[:9]
        assert lines[9] == "Objednávka č. 1;1;0".encode("cp1250"), lines[9:]
        assert lines[10] == "Božena Němcová: Babička;1;289".encode("cp1250"), lines[9:]
        out = pay(first)
        # The open page learns the outcome by itself.
        text = order_state(driver, base, 1, ["Zboží bylo odesláno", "Zaplaceno 469"],
                           reload=False)
        print("order 1:", text)
        # The same file paid again: the merchant refuses it, nothing more is debited.
        out = pay(first)
        assert "objednávka č. 1 už byla zaplacena" in out, out
        assert "Stav účtu: 9531 Kč" in out, out
        # The cart was emptied by the order.
        driver.get(base + "/kosik")
        assert "Košík je prázdný" in driver.page_source

        # Balance too low: the wallet refuses before the order leaves; nothing is paid.
        buy(driver, base, [(2, 25), (4, 1)])
        second = wait_for_download(downloads, seen)
        seen.add(os.path.basename(second))
        out = pay(second)
        assert "nedostatečnou hotovost" in out, out
        text = order_state(driver, base, 2, ["Čeká na zaplacení"])
        assert "Zaplaceno" not in text, text
        print("order 2:", text)

        # Refused by the bank: another program holds the database's write lock during the
        # payment. The order page says why; paying the same file again then succeeds.
        buy(driver, base, [(1, 1), (4, 1)])
        third = wait_for_download(downloads, seen)
        seen.add(os.path.basename(third))
        lock = sqlite3.connect(os.path.join(work, "bank.sqlite"), isolation_level=None)
        lock.execute("BEGIN IMMEDIATE")
        try:
            out = pay(third)
        finally:
            lock.execute("ROLLBACK")
            lock.close()
        text = order_state(driver, base, 3, ["Platba byla zamítnuta", "Databáze banky"])
        assert "Zaplaceno" not in text, text
        print("order 3:", text)
        out = pay(third)
        text = order_state(driver, base, 3, ["Zboží bylo odesláno", "Zaplaceno 398"])
        print("order 3 again:", text)
        # The first order is unchanged.
        order_state(driver, base, 1, ["Zboží bylo odesláno"])
        assert peers.poll() is None, "the peers ended"
    except BaseException:
        log.seek(0)
        sys.stderr.write("--- peers' log ---\n" + log.read())
        if "out" in locals():
            sys.stderr.write("--- wallet ---\n" + out)
        raise
    finally:
        if driver is not None:
            driver.quit()
        peers.terminate()
        peers.wait(timeout=10)
    print("OK")


if __name__ == "__main__":
    main()
