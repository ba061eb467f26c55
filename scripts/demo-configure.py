"""Configures a freshly installed demo folder: the line on the simulator's terminal, device 1 as
a switched station with two loggers, and schedule time 1 at the current hour."""
import sys
import time
import xml.etree.ElementTree as ET

folder, line = sys.argv[1], sys.argv[2]


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
        4: "KV12345678",         # serial number of logger 1
        6: "KV87654321",         # serial number of logger 3
        13: "Demo station",      # description
        14: "1",                 # read at schedule time 1
        18: "0",                 # a new data file for every reading
        19: f"{folder}/data",    # data folder
        26: "1",                 # set the logger clock when it is off
        27: "1",                 # the line switch is used
    })


def times(root):
    set_values(root.find("./*"), {0: str(time.localtime().tm_hour)})


edit("comports.xml", ports)
edit("prop.xml", devices)
edit("timeutils.xml", times)
