#!/usr/bin/env python3
"""Opens the "Software by Version and Computer" page of a sample DataStore in
headless Chromium the way a person uses it: reads the totals, types into the
filter, clicks the Installations and Product sort headers, and checks the
rows that stay visible; screenshots before and after, and of the print view.

Usage: software_by_version_test.py SERVER LIBRARY SAMPLER SHOTDIR

Exit status 0 passed, 1 failed, 77 skipped (Chromium is not installed).
"""
import os
import shutil
import subprocess
import sys
import tempfile

CHROMIUM = "/usr/bin/chromium"
DRIVER = "/usr/bin/chromedriver"
SKIP = 77

# The sample's products in the order of their names and of their installations.
IMG = "<img src=x onerror=\"document.title='owned'\">"
BY_NAME = ["7-Zip", IMG, "LibreOffice", "Mozilla Firefox", "Notepad++", "Tools <Beta> & \"Co\"",
           "VLC media player"]
BY_COUNT = ["Mozilla Firefox", "7-Zip", "LibreOffice", "Notepad++", "VLC media player", IMG,
            "Tools <Beta> & \"Co\""]


class Failed(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failed(message)


def make_page(server, library, sampler, folder):
    shutil.copy(library, os.path.join(folder, os.path.basename(library)))
    subprocess.run([sampler, "versions", folder], check=True)
    page = os.path.join(folder, "Software by Version.html")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    run = subprocess.run([server, "--dir", folder, "--report", "Software by Version and Computer",
                          "--format", "Output to HTML", "--out", page],
                         env=env, capture_output=True, text=True, timeout=120)
    expect(run.returncode == 0, "the report run ended with %d: %s" % (run.returncode, run.stderr))
    return page


def start_browser(profile):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + profile, "--window-size=1200,900"):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service(executable_path=DRIVER), options=options)


def visible_products(driver):
    from selenium.webdriver.common.by import By
    return [cell.text for cell in driver.find_elements(By.CSS_SELECTOR, "#software tbody .name")
            if cell.is_displayed()]


def check_page(driver, shots):
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    expect(driver.title == "Software by Version and Computer", "title %r" % driver.title)
    totals = [driver.find_element(By.ID, i).text for i in ("computers", "products", "installations")]
    expect(totals == ["6", "7", "18"], "totals %r" % totals)
    expect(visible_products(driver) == BY_NAME, "first order %r" % visible_products(driver))
    expect(not driver.find_elements(By.CSS_SELECTOR, "#software img"), "a product name became markup")
    firefox = driver.find_element(By.XPATH, "//tbody[.//th[@class='name' and text()='Mozilla Firefox']]")
    versions = [r.find_elements(By.CSS_SELECTOR, "td.version")[0].text
                for r in firefox.find_elements(By.TAG_NAME, "tr")]
    expect(versions == ["115.0", "120.0", "121.0"], "Firefox versions %r" % versions)
    expect("PC-CHARLIE 127.0.0.13 \u00b7 LAB" in firefox.text, "Firefox 120.0 computers: %r" % firefox.text)
    before = os.path.join(shots, "software-by-version-before.png")
    driver.save_screenshot(before)

    box = driver.find_element(By.ID, "filter")
    box.click()
    box.send_keys("OFFICE")
    expect(visible_products(driver) == ["LibreOffice"], "filter OFFICE shows %r" % visible_products(driver))
    expect(driver.find_element(By.ID, "shown").text == "1 of 7 products shown", "shown count")
    box.send_keys(Keys.CONTROL, "a")
    box.send_keys("zzz")
    expect(visible_products(driver) == [], "filter zzz shows %r" % visible_products(driver))
    expect(driver.find_element(By.ID, "nothing").is_displayed(), "no 'nothing matches' line")
    box.send_keys(Keys.CONTROL, "a")
    box.send_keys("o")
    wanted = [n for n in BY_NAME if "o" in n.lower()]
    expect(visible_products(driver) == wanted, "filter o shows %r" % visible_products(driver))

    driver.find_element(By.CSS_SELECTOR, "#sortCount button").click()
    expect(visible_products(driver) == [n for n in BY_COUNT if n in wanted],
           "by installations %r" % visible_products(driver))
    expect(driver.find_element(By.ID, "sortCount").get_attribute("aria-sort") == "descending",
           "the Installations header does not show its order")
    after = os.path.join(shots, "software-by-version-after.png")
    driver.save_screenshot(after)
    with open(before, "rb") as a, open(after, "rb") as b:
        expect(a.read() != b.read(), "the page looks the same before and after")

    box.send_keys(Keys.CONTROL, "a")
    box.send_keys(Keys.BACKSPACE)
    driver.find_element(By.CSS_SELECTOR, "#sortName button").click()
    expect(visible_products(driver) == BY_NAME, "by name again %r" % visible_products(driver))
    driver.find_element(By.CSS_SELECTOR, "#sortName button").click()
    expect(visible_products(driver) == BY_NAME[::-1], "by name descending %r" % visible_products(driver))
    expect(driver.title == "Software by Version and Computer", "a script from the data ran")

    driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "print"})
    expect(not box.is_displayed(), "the filter is printed")
    driver.save_screenshot(os.path.join(shots, "software-by-version-print.png"))


def main():
    if len(sys.argv) != 5:
        print(__doc__)
        return 2
    server, library, sampler, shots = sys.argv[1:]
    if not os.path.exists(CHROMIUM):
        print("SKIP: %s is not installed" % CHROMIUM)
        return SKIP
    os.makedirs(shots, exist_ok=True)
    work = tempfile.mkdtemp(prefix="dovrel-browser-")
    profile = tempfile.mkdtemp(prefix="dovrel-chromium-")
    driver = None
    try:
        page = make_page(server, library, sampler, work)
        driver = start_browser(profile)
        driver.get("file://" + page)
        check_page(driver, shots)
        print("PASS: screenshots in %s" % shots)
        return 0
    except Failed as failure:
        print("FAIL: %s" % failure)
        return 1
    finally:
        if driver is not None:
            driver.quit()
        shutil.rmtree(work, ignore_errors=True)
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
