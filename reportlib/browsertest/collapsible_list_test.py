#!/usr/bin/env python3
"""Opens the software report made from the built-in template in headless
Chromium and clicks a collapsible list open and closed again, with a
screenshot before and after.

Usage: collapsible_list_test.py SERVER LIBRARY SAMPLER SHOTDIR

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


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def make_page(server, library, sampler, folder):
    shutil.copy(library, os.path.join(folder, os.path.basename(library)))
    subprocess.run([sampler, folder, "3"], check=True)
    page = os.path.join(folder, "My Report.html")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    run = subprocess.run([server, "--dir", folder, "--report", "Report Software Assets",
                          "--format", "Output to HTML", "--out", page],
                         env=env, capture_output=True, text=True, timeout=120)
    if run.returncode != 0:
        fail("the report run ended with %d: %s" % (run.returncode, run.stderr))
    if not os.path.exists(os.path.join(folder, "Template", "Template0.htm")):
        fail("the built-in template was not written")
    return page


def main():
    if len(sys.argv) != 5:
        print(__doc__)
        return 2
    server, library, sampler, shots = sys.argv[1:]
    if not os.path.exists(CHROMIUM):
        print("SKIP: %s is not installed" % CHROMIUM)
        return SKIP
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait

    os.makedirs(shots, exist_ok=True)
    work = tempfile.mkdtemp(prefix="dovrel-browser-")
    profile = tempfile.mkdtemp(prefix="dovrel-chromium-")
    driver = None
    try:
        page = make_page(server, library, sampler, work)
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--user-data-dir=" + profile, "--window-size=1024,768"):
            options.add_argument(flag)
        driver = webdriver.Chrome(service=Service(executable_path=DRIVER), options=options)
        driver.get("file://" + page)

        caption = driver.find_element(By.ID, "tocAddresses")
        inner = caption.find_element(By.TAG_NAME, "ul")
        if caption.get_attribute("class") != "close" or inner.get_attribute("class") != "none":
            fail("the list does not start closed")
        if inner.is_displayed():
            fail("the closed list shows its addresses")
        if "Click here for IP Addresses" not in caption.text:
            fail("caption text: %r" % caption.text)
        before = os.path.join(shots, "collapsible-closed.png")
        driver.save_screenshot(before)

        def click_caption():
            # on the caption line itself (an open item's middle is its inner list)
            size = caption.size
            ActionChains(driver).move_to_element_with_offset(
                caption, -size["width"] // 2 + 30, -size["height"] // 2 + 6).click().perform()

        click_caption()
        WebDriverWait(driver, 10).until(lambda d: inner.is_displayed())
        if caption.get_attribute("class") != "open" or inner.get_attribute("class") != "expanded":
            fail("classes after the click: %s / %s" % (caption.get_attribute("class"),
                                                      inner.get_attribute("class")))
        if "127.0.0.1, 127.0.0.2, 127.0.0.3" not in inner.text:
            fail("the opened list holds %r" % inner.text)
        after = os.path.join(shots, "collapsible-open.png")
        driver.save_screenshot(after)
        with open(before, "rb") as a, open(after, "rb") as b:
            if a.read() == b.read():
                fail("the page looks the same before and after the click")

        # The other lists stay closed; a second click closes the list again.
        names = driver.find_element(By.ID, "tocNames").find_element(By.TAG_NAME, "ul")
        if names.is_displayed():
            fail("another list opened too")
        # A click on the opened list's content leaves it open.
        inner.find_element(By.TAG_NAME, "li").click()
        if not inner.is_displayed():
            fail("a click on the list's content closed it")
        click_caption()
        WebDriverWait(driver, 10).until(lambda d: not inner.is_displayed())
        if caption.get_attribute("class") != "close":
            fail("the list did not close again")
        rows = driver.find_elements(By.CSS_SELECTOR, "table.report tr")
        if len(rows) < 5:
            fail("the table has %d rows" % len(rows))
        print("PASS: screenshots in %s" % shots)
        return 0
    finally:
        if driver is not None:
            driver.quit()
        shutil.rmtree(work, ignore_errors=True)
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
