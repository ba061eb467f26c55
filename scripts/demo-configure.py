"""Configures a freshly installed demo folder: the line on the simulator's terminal, device 1 as
a switched station with two loggers whose data files, alarms and run report go by mail to the
given SMTP server, and schedule time 1 at the current hour.

Usage: demo-configure.py FOLDER LINE SMTP_HOST:PORT"""
import sys
import time
import xml.etree.ElementTree as ET

folder, line, smtp = sys.argv[1], sys.argv[2], sys.argv[3]


def edit(name, change):
    path = f"{folder}/{name}"
    tree = ET.parse(path)
    change(tree.getroot())
    tree.write(path, encoding="UTF-8", xml_declaration=True)


def set_values(record, values):
    children = list(record)
    for position, text in values.items():
        children[position].text = text


def ports(root):
    set_values(root.find("./*[@place='1']"), {0: line})


def devices(root):
    set_values(root.find("./*[@place='1']"), {
        0: "1",                  # active
        1: "netw0102",           # network 1, section 2 through the line switch
        4: "1201KV0326",         # serial number of logger 1
        6: "1202YR0526",         # serial number of logger 3
        13: "Demo station",      # description
        14: "1",                 # read at schedule time 1
        18: "0",                 # a new data file for every reading
        19: f"{folder}/data",    # data folder
        26: "1",                 # set the logger clock when it is off
        20: "1",                 # send the data files on
        21: "0",                 # by mail
        22: "data@demo.local",
        27: "1",                 # the line switch is used
        28: "1",                 # mail a report of every scheduled run
        29: "report@demo.local",
        31: "1",                 # alarm when a logger crosses its own limits
        32: "0",                 # by mail
        33: "alarm@demo.local",
        34: smtp,                # SMTP server of the data mails
    })


def times(root):
    set_values(root.find("./*"), {0: str(time.localtime().tm_hour)})


def settings(root):
    set_values(root.find("./*[@place='1']"), {0: smtp})


edit("comports.xml", ports)
edit("settings.xml", settings)
edit("prop.xml", devices)
edit("timeutils.xml", times)
